#include "qtio/qt_desktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace etc::qtio {

bool QtDesktop::openDocument(const std::string& path) {
    if (!fileExists(path))
        return false;
    // Whether a program was found for it is the shell's business: the file is there.
    (void)QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    return true;
}

bool QtDesktop::fileExists(const std::string& path) const {
    const QFileInfo info(QString::fromStdString(path));
    return info.exists() && info.isFile();
}

}  // namespace etc::qtio
