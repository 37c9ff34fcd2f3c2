#pragma once

#include "gui/BackgroundTask.h"

#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class DocumentView;
class QLabel;
class QLineEdit;

// The find bar under the tabs: finds its text in the current document from the selection, letter
// case aside (Enter and F3 next, Shift+F3 previous, Esc closes).
class FindBar : public QWidget {
    Q_OBJECT

public:
    // `currentView` gives the document searched, and the one the keyboard goes back to on close.
    explicit FindBar(std::function<DocumentView*()> currentView, QWidget* parent = nullptr);

    QLineEdit* edit() const { return edit_; }
    // Empty, or "Няма съвпадения" after a search that found nothing; after a match, whether the
    // search went on from the document's other end, and how many matches the document holds
    // (counted on a worker: a journal of a million records has millions of lines).
    QLabel* status() const { return status_; }
    bool counting() const { return count_.running(); }

    void openBar();
    void closeBar();
    // The match is selected and scrolled into view; false when there is none.
    bool find(bool forward);
    // F3 and Shift+F3: the next or previous match, or the bar opened when there is nothing to find.
    void findOrOpen(bool forward);

private:
    void showStatus();

    std::function<DocumentView*()> currentView_;
    orva::BackgroundTask count_{orva::BackgroundTask::Priority::Low};
    // What the count is of: the text searched and the needle, so F3 does not count again.
    std::shared_ptr<const void> countedText_;
    std::string countedNeedle_;
    QString countText_;
    QString wrapText_;
    QLineEdit* edit_ = nullptr;
    QLabel* status_ = nullptr;
};
