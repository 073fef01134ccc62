#include "gui/options_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/colours.h"
#include "gui/key_forwarder.h"

namespace etc::gui {

OptionsWindow::OptionsWindow(app::Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), m_session(session) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("Options"));
    setFixedSize(760, 520);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, windowsColour(kOrange));
    setPalette(palette);

    m_versionInfo = new QLabel(this);
    m_versionInfo->setObjectName(QStringLiteral("StaticText_version_info"));
    m_versionInfo->setGeometry(560, 488, 190, 22);
    m_versionInfo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    buildPortGroup();
    // F1 opens the manual here too.
    new KeyForwarder(
        this, [this](app::Key key, bool alt) { return m_session.keyPressed(key, alt); },
        [](app::Key key, bool) { return key == app::Key::F1; });
    refresh();
}

void OptionsWindow::buildPortGroup() {
    m_portGroup = new QGroupBox(QStringLiteral("Communicationport"), this);
    m_portGroup->setObjectName(QStringLiteral("GroupBox_set_communicationport"));
    m_portGroup->setGeometry(200, 100, 360, 280);
    m_portGroup->setAutoFillBackground(true);

    auto* portLabel = new QLabel(QStringLiteral("Port:"), m_portGroup);
    portLabel->setGeometry(16, 36, 40, 24);
    m_port = new QLineEdit(m_portGroup);
    m_port->setObjectName(QStringLiteral("Edit_commport"));
    m_port->setGeometry(60, 34, 280, 26);

    m_autoSearch = new QPushButton(QStringLiteral("&AutoSearch Com port"), m_portGroup);
    m_autoSearch->setObjectName(QStringLiteral("Button_Auto_search_Com_port"));
    m_autoSearch->setGeometry(16, 74, 324, 32);
    m_manualSelect = new QPushButton(QStringLiteral("&Manual select Com port"), m_portGroup);
    m_manualSelect->setObjectName(QStringLiteral("Button_Manual_select_Com_port"));
    m_manualSelect->setGeometry(16, 112, 324, 32);
    auto* deviceManager = new QPushButton(QStringLiteral("Open Device manager"), m_portGroup);
    deviceManager->setObjectName(QStringLiteral("xpButton3"));
    deviceManager->setGeometry(16, 150, 324, 32);

    m_save = new QPushButton(QStringLiteral("Save"), m_portGroup);
    m_save->setObjectName(QStringLiteral("Button_Save_set_communicationport"));
    m_save->setGeometry(16, 230, 150, 34);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), m_portGroup);
    m_cancel->setObjectName(QStringLiteral("Button_Cancel_set_communicationport"));
    m_cancel->setGeometry(190, 230, 150, 34);

    // The list panel covers the group from its top left corner.
    m_manualPanel = new QFrame(m_portGroup);
    m_manualPanel->setObjectName(QStringLiteral("Panel_manual_select_Com_port"));
    m_manualPanel->setGeometry(0, 0, 360, 280);
    m_manualPanel->setAutoFillBackground(true);
    m_portList = new QComboBox(m_manualPanel);
    m_portList->setObjectName(QStringLiteral("ComboBox_Manual_select_comport"));
    m_portList->setGeometry(40, 60, 280, 28);
    auto* listOk = new QPushButton(QStringLiteral("&Ok"), m_manualPanel);
    listOk->setObjectName(QStringLiteral("xpButton1"));
    listOk->setGeometry(40, 130, 130, 32);
    auto* listCancel = new QPushButton(QStringLiteral("Cancel"), m_manualPanel);
    listCancel->setObjectName(QStringLiteral("xpButton2"));
    listCancel->setGeometry(190, 130, 130, 32);
    m_manualPanel->hide();

    m_searching = new QFrame(m_portGroup);
    m_searching->setObjectName(QStringLiteral("Panel_searching_com_port"));
    m_searching->setGeometry(6, 32, 348, 150);
    m_searching->setStyleSheet(
        QStringLiteral("QFrame#Panel_searching_com_port { background-color: #ffffe0; "
                       "border: 2px solid #404040; }"));
    auto* searchingText = new QLabel(QStringLiteral("Searching Com port"), m_searching);
    searchingText->setAlignment(Qt::AlignCenter);
    QFont font = searchingText->font();
    font.setPointSize(14);
    font.setBold(true);
    searchingText->setFont(font);
    searchingText->setGeometry(0, 40, 348, 30);
    auto* wait = new QLabel(QStringLiteral("please wait"), m_searching);
    wait->setAlignment(Qt::AlignCenter);
    wait->setGeometry(0, 80, 348, 24);
    m_searching->hide();

    link::PortGroup& group = m_session.portGroup;
    connect(m_port, &QLineEdit::textEdited, this,
            [&group](const QString& text) { group.setEditText(text.toStdString()); });
    connect(m_autoSearch, &QPushButton::clicked, this, [&group] { group.autoSearch(); });
    connect(m_manualSelect, &QPushButton::clicked, this, [&group] { group.showManualSelect(); });
    connect(listOk, &QPushButton::clicked, this,
            [this, &group] { group.manualOk(m_portList->currentIndex()); });
    connect(listCancel, &QPushButton::clicked, this, [&group] { group.manualCancel(); });
    connect(deviceManager, &QPushButton::clicked, this, [this, &group] {
        lower();
        group.openDeviceManager();
    });
    connect(m_save, &QPushButton::clicked, this, [this, &group] {
        if (group.save())
            m_session.closePortGroup();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_session.closePortGroup(); });
}

void OptionsWindow::refresh() {
    const app::MainWindowState& w = m_session.window;
    const link::PortGroup& group = m_session.portGroup;
    m_versionInfo->setText(QString::fromStdString(w.versionInfo));

    const QString edit = QString::fromStdString(group.editText());
    if (m_port->text() != edit)
        m_port->setText(edit);
    if (m_portList->count() != static_cast<int>(group.portList().size())) {
        m_portList->clear();
        for (const auto& name : group.portList())
            m_portList->addItem(QString::fromStdString(name));
    }
    m_manualPanel->setVisible(group.manualPanelShown());
    m_searching->setVisible(group.searching());
    m_searching->raise();

    m_portGroup->setVisible(w.portGroupShown);
    if (w.optionsWindowShown && !isVisible()) {
        show();
        activateWindow();
    } else if (!w.optionsWindowShown && isVisible()) {
        hide();
    }
    if (w.portGroupShown && !m_portGroupDrawn)
        m_cancel->setFocus(Qt::OtherFocusReason);
    m_portGroupDrawn = w.portGroupShown;
}

void OptionsWindow::closeEvent(QCloseEvent* event) {
    // The window's own close control acts as the group's "Cancel".
    if (m_session.window.portGroupShown)
        m_session.closePortGroup();
    event->accept();
}

}  // namespace etc::gui
