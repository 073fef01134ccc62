#include "qtio/qt_prompter.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace etc::qtio {

QString messageBoxText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\r\n"), QStringLiteral("\n"));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QString messageBoxTitle(link::MessageKind kind) {
    switch (kind) {
        case link::MessageKind::Error:
            return QStringLiteral("Error");
        case link::MessageKind::Warning:
            return QStringLiteral("Warning");
        case link::MessageKind::Information:
            return QStringLiteral("Information");
    }
    return {};
}

link::Button QtPrompter::message(link::MessageKind kind, const std::string& text, link::ButtonSet buttons) {
    QMessageBox::Icon icon = QMessageBox::Information;
    if (kind == link::MessageKind::Error)
        icon = QMessageBox::Critical;
    else if (kind == link::MessageKind::Warning)
        icon = QMessageBox::Warning;

    QMessageBox box(icon, messageBoxTitle(kind), messageBoxText(text), QMessageBox::NoButton, m_parent);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setTextFormat(Qt::PlainText);
    // A box must be seen in front of the stays-on-top errors window.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    switch (buttons) {
        case link::ButtonSet::Ok: {
            box.setDefaultButton(box.addButton(QMessageBox::Ok));
            // Closing the box without "OK" (Esc, the title bar) is an answer of its own, which some
            // questions tell apart from "OK": a hidden Cancel takes it.
            QAbstractButton* closed = box.addButton(QMessageBox::Cancel);
            closed->hide();
            box.setEscapeButton(closed);
            break;
        }
        case link::ButtonSet::YesNo:
            box.setDefaultButton(box.addButton(QMessageBox::Yes));
            box.setEscapeButton(box.addButton(QMessageBox::No));
            break;
        case link::ButtonSet::CancelIgnore: {
            QPushButton* cancel = box.addButton(QMessageBox::Cancel);
            box.addButton(QMessageBox::Ignore);
            box.setDefaultButton(cancel);
            box.setEscapeButton(cancel);
            break;
        }
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok:
            return link::Button::Ok;
        case QMessageBox::Yes:
            return link::Button::Yes;
        case QMessageBox::No:
            return link::Button::No;
        case QMessageBox::Ignore:
            return link::Button::Ignore;
        default:
            return link::Button::Cancel;
    }
}

}  // namespace etc::qtio
