#pragma once

#include <QWidget>

#include <functional>

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
    // Empty, or "Няма съвпадения" after a search that found nothing.
    QLabel* status() const { return status_; }

    void openBar();
    void closeBar();
    // The match is selected and scrolled into view; false when there is none.
    bool find(bool forward);
    // F3 and Shift+F3: the next or previous match, or the bar opened when there is nothing to find.
    void findOrOpen(bool forward);

private:
    std::function<DocumentView*()> currentView_;
    QLineEdit* edit_ = nullptr;
    QLabel* status_ = nullptr;
};
