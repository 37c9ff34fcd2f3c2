#include "gui/FindBar.h"

#include "gui/DocumentView.h"
#include "render/QtText.h"
#include "text/DocumentSearch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStringList>
#include <QToolButton>

#include <algorithm>

namespace {

const char* const kNoMatches = "Няма съвпадения";

} // namespace

FindBar::FindBar(std::function<DocumentView*()> currentView, QWidget* parent)
    : QWidget(parent), currentView_(std::move(currentView)) {
    setObjectName(QStringLiteral("findBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(new QLabel(QStringLiteral("Търсене:"), this));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("findEdit"));
    row->addWidget(edit_, 1);
    const auto button = [this, row](const QString& text, auto slot) {
        auto* tool = new QToolButton(this);
        tool->setText(text);
        tool->setFocusPolicy(Qt::NoFocus);
        connect(tool, &QToolButton::clicked, this, slot);
        row->addWidget(tool);
    };
    button(QStringLiteral("Предишно"), [this] { find(false); });
    button(QStringLiteral("Следващо"), [this] { find(true); });
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("findStatus"));
    row->addWidget(status_);
    button(QStringLiteral("Затвори"), [this] { closeBar(); });
    connect(edit_, &QLineEdit::returnPressed, this, [this] { find(true); });
    connect(edit_, &QLineEdit::textEdited, this, [this] {
        count_.stop();
        countedText_.reset();
        status_->clear();
    });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] { closeBar(); });
    hide();
}

void FindBar::openBar() {
    show();
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
}

void FindBar::closeBar() {
    hide();
    count_.stop();
    countedText_.reset();
    status_->clear();
    if (DocumentView* view = currentView_())
        view->setFocus(Qt::OtherFocusReason);
}

void FindBar::findOrOpen(bool forward) {
    if (isHidden() || edit_->text().isEmpty())
        openBar();
    else
        find(forward);
}

bool FindBar::find(bool forward) {
    const QString needle = edit_->text();
    if (needle.isEmpty())
        return false;
    bool found = false;
    wrapText_.clear();
    if (DocumentView* view = currentView_()) {
        const std::string bytes = orva::toWin1251(needle);
        // Next starts after the selection, previous before it, so F3 steps from match to match.
        const DocumentView::Position from =
            forward ? std::max(view->caret(), view->anchor()) : std::min(view->caret(), view->anchor());
        const std::optional<orva::TextMatch> match =
            orva::findInDocument(view->text(), bytes, from.line, from.column, forward);
        if (match) {
            view->select({match->line, match->column}, {match->line, match->column + match->length});
            found = true;
            if (match->wrapped)
                wrapText_ = forward ? QStringLiteral("продължено от началото") : QStringLiteral("продължено от края");
            std::shared_ptr<const orva::DocumentText> text = view->sharedText();
            if (countedText_ != text || countedNeedle_ != bytes) {
                countedText_ = text;
                countedNeedle_ = bytes;
                countText_ = QStringLiteral("броят се…");
                count_.start<std::size_t>(
                    [text, bytes](const orva::StopToken& stop) {
                        return orva::countMatches(*text, bytes, stop.flag());
                    },
                    [this](std::size_t& count) {
                        countText_ =
                            count == 1 ? QStringLiteral("1 съвпадение") : QStringLiteral("%1 съвпадения").arg(count);
                        showStatus();
                    },
                    [this](const QString&) {
                        countText_.clear();
                        showStatus();
                    });
            }
        }
    }
    if (!found) {
        count_.stop();
        countedText_.reset();
        status_->setText(QString::fromUtf8(kNoMatches));
        return false;
    }
    showStatus();
    return true;
}

void FindBar::showStatus() {
    QStringList parts;
    for (const QString& part : {wrapText_, countText_})
        if (!part.isEmpty())
            parts << part;
    status_->setText(parts.join(QStringLiteral(" · ")));
}
