#pragma once

#include <QString>

#include <chrono>

// Hands a document to the desktop's opener (xdg-open) and finds out whether it was
// taken. The opener exits at once with its status when the desktop has no program
// for the document (xdg-open exits 3) or hands it on (0); where it runs the viewer
// itself, it is still running a moment later, with the document shown. The viewer
// outlives this program either way.
class ViewerHandOver {
public:
    // opener: the program, given the document's path as its one argument.
    explicit ViewerHandOver(QString opener, std::chrono::milliseconds takenAfter = std::chrono::milliseconds(1500));

    // True when the opener exited 0, or was still running after takenAfter. The
    // window keeps drawing meanwhile; the operator's input waits.
    bool hand(const QString &path) const;

private:
    QString m_opener;
    std::chrono::milliseconds m_takenAfter;
};
