#include "qtio/qt_file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

namespace etc::qtio {

QString qtNameFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (name.isEmpty() && patterns.isEmpty())
            continue;
        if (name.contains(QLatin1Char('(')) || patterns.isEmpty())
            entries << name;
        else if (name.isEmpty())
            entries << patterns;
        else
            entries << name + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString qtDefaultSuffix(const std::string& extension) {
    QString suffix = QString::fromStdString(extension);
    while (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    return suffix;
}

std::optional<std::string> QtFileDialogs::openFile(const link::FileDialogRequest& request) {
    return run(request, false);
}

std::optional<std::string> QtFileDialogs::saveFile(const link::FileDialogRequest& request) {
    return run(request, true);
}

std::optional<std::string> QtFileDialogs::run(const link::FileDialogRequest& request, bool save) {
    QFileDialog dialog(m_parent, QString::fromStdString(request.title));
    dialog.setObjectName(save ? QStringLiteral("SaveDialog") : QStringLiteral("OpenDialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QString filter = qtNameFilter(request.filter);
    if (!filter.isEmpty())
        dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(qtDefaultSuffix(request.defaultExtension));
    if (!request.directory.empty())
        dialog.setDirectory(QString::fromStdString(request.directory));
    if (!request.fileName.empty())
        dialog.selectFile(QString::fromStdString(request.fileName));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && request.confirmOverwrite));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(files.first()).toStdString();
}

}  // namespace etc::qtio
