#pragma once

#include <QObject>

#include <string>
#include <utility>
#include <vector>

class QLabel;
class QWidget;

// The document views' enlargement in points over their printed size (printing keeps its own):
// Ctrl+wheel over a view, or the window's keys; kept in a side file between runs.
class Zoom : public QObject {
    Q_OBJECT

public:
    // How far the face may be made smaller or larger than its printed size.
    static constexpr int kMin = -4;
    static constexpr int kMax = 24;

    // `views`, each with the point size it prints at. The enlargement saved in `sideFile` is
    // applied here (without writing it back); a missing or unreadable file is the printed size.
    Zoom(std::vector<std::pair<QWidget*, int>> views, std::string sideFile, QObject* parent = nullptr);

    int points() const { return points_; }
    // A view opened later (a comparison's tab), enlarged as the others from now on; it leaves the
    // list when it is destroyed.
    void add(QWidget* view, int pointSize);
    // Clamps, applies to every view and, when it changed, writes it to the side file (a failure
    // there is said on standard error: the views are enlarged all the same).
    void set(int points);

    // A status-bar label "Мащаб: +N" ("Мащаб: 0" at the printed size) that follows the enlargement.
    QLabel* makeStatus(QWidget* parent);

signals:
    void changed(int points);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();

    std::vector<std::pair<QWidget*, int>> views_;
    std::string sideFile_;
    int points_ = 0;
};
