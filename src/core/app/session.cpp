#include "app/session.h"

#include <cstdint>
#include <fstream>

namespace etc::app {

namespace {
// The manual chosen by "Language.ini": a 32-bit little-endian number, 3 for Dutch.
constexpr std::int32_t kDutch = 3;
}  // namespace

Session::Session(link::SerialPort& port, link::TimerService& timers, link::Prompter& prompter_,
                 SessionSetup setup)
    : m_setup(std::move(setup)),
      prompter(prompter_),
      engine(port, timers, prompter_),
      versions(prompter_),
      upload(engine, image, versions, window),
      download(engine, image, versions, window, prompter_),
      file(image, versions, prompter_),
      access(engine, window, upload, versions, prompter_),
      portGroup(engine, prompter_, desktop(), m_setup.programDir.string(), m_setup.portList) {
    versions.fillBlockMap = [this] { image.blockMap().set(); };
    versions.refuse = [this] {
        engine.stopPolling();
        window.progress.shown = false;
        window.notify();
    };
    versions.enableMainButtons = [this] {
        window.setMainButtons(true);
        window.notify();
    };
    auto& hooks = engine.hooks();
    hooks.versionText = [this](const std::string& version) {
        versions.setHeld(version);
        window.versionInfo = version;
        window.notify();
    };
    hooks.serialNumber = [this](const std::string& serial) {
        versions.setSerial(serial);
        window.serialNumber = serial;
        window.notify();
    };
    auto previousOnline = std::move(hooks.onlineChanged);
    hooks.onlineChanged = [this, previousOnline](bool online) {
        if (previousOnline)
            previousOnline(online);
        window.dashboard.setOnline(online);
        if (!online)
            wentOffline();
    };
    hooks.liveFrame = [this](link::ByteView bytes) { showLiveFrame(bytes); };
    upload.finished = [this] { window.dashboard.refreshDigitalInputLabels(image); };
    download.ended = [this] { window.dashboard.refreshDigitalInputLabels(image); };
    hooks.lockDone = [this] {
        window.upDownMenuShown = false;
        window.setMainButtons(true);
        window.notify();
    };
    hooks.dataNotLockedChanged = [this](bool) { window.notify(); };
    hooks.errorLabelChanged = [this](const std::string&) { window.notify(); };
    portGroup.versionFound = [this](const std::string& version) {
        versions.setHeld(version);
        window.versionInfo = version;
        window.notify();
    };
    window.versionInfo = versions.held();
    if (!m_setup.portOverride.empty())
        engine.setPortName(m_setup.portOverride);
}

void Session::start() {
    portGroup.readPortSetting(m_setup.args);
    if (!m_setup.portOverride.empty())
        portGroup.usePortName(m_setup.portOverride);
    versions.setHeld(std::string(settings::kToolVersion));
    window.versionInfo = versions.held();
    window.setMainButtons(false);
    window.dashboard.enableValueDisplay(false);
    window.progress.caption = text::kUploading;
    window.idlePanelShown = settings::hasIdleBlocks(versions.held());
    image.refreshThrottleLimitAxis();
    window.notify();
    engine.schedule(link::step::kConnect);
}

void Session::showLiveFrame(link::ByteView bytes) {
    const auto frame = live::decodeLiveFrame(bytes);
    if (!frame)
        return;
    window.dashboard.showLiveFrame(*frame, m_setup.decimalSeparator);
    window.errors.showErrors(frame->errorWords[0], frame->errorWords[1], frame->errorWords[2]);
    if (liveFrameShown)
        liveFrameShown(*frame);
}

void Session::wentOffline() {
    window.progress.shown = false;
    window.notify();
}

// ---------------------------------------------------------------------------------------------
// The main window's commands

bool Session::keyPressed(Key key, bool alt) {
    switch (key) {
        case Key::F1:
            openManual();
            return true;
        case Key::F2:
            if (window.mainButtonsEnabled)
                openCommand();
            return true;
        case Key::F3:
            if (window.mainButtonsEnabled)
                saveCommand();
            return true;
        case Key::F4:
            if (alt)
                return false;
            if (window.optionsButtonEnabled) {
                window.optionsMenuShown = true;
                window.notify();
            }
            return true;
        case Key::F7:
            // The key follows the hidden up/down-load button, which is enabled with the main buttons.
            if (window.mainButtonsEnabled)
                f7Button();
            return true;
        case Key::F10:
            if (engine.online()) {
                engine.stopPolling();
                engine.goOffline();
            } else {
                engine.goOnline();
                engine.stopPolling();
                showMenu(MainWindowState::MenuForm::GoingOnline);
            }
            return true;
        case Key::S:
            if (!alt)
                return false;
            uploadCommand();
            window.optionsCancelEnabled = true;
            window.notify();
            return true;
        case Key::P:
            if (!alt)
                return false;
            downloadCommand();
            return true;
        case Key::L:
            if (!alt)
                return false;
            lockCommand();
            return true;
        case Key::Other:
            return false;
    }
    return false;
}

void Session::showMenu(MainWindowState::MenuForm form) {
    window.mainButtonsEnabled = false;
    window.optionsButtonEnabled = false;
    window.upDownMenuShown = true;
    window.upDownMenuForm = form;
    window.notify();
}

void Session::dashboardClicked() {
    if (engine.online()) {
        engine.goOffline();
        engine.stopPolling();
        return;
    }
    if (window.mapPanelsShown) {
        access.closeLevelDialog();
        engine.goOnline();
        engine.stopPolling();
        showMenu(MainWindowState::MenuForm::GoingOnline);
        return;
    }
    engine.goOnline();
    window.dashboard.enableValueDisplay(true);
    if (!engine.port().isOpen())
        (void)engine.port().open(engine.portName());
    engine.schedule(link::step::kPoll);
}

void Session::f7Button() {
    showMenu(MainWindowState::MenuForm::Command);
}

void Session::uploadCommand() {
    upload.command();
}

void Session::downloadCommand() {
    download.start();
}

void Session::lockCommand() {
    if (image.curveWarning(1) || image.curveWarning(2)) {
        window.curveWarningHighlighted = true;
        window.notify();
        return;
    }
    window.curveWarningHighlighted = false;
    window.notify();
    engine.stopPolling();
    engine.schedule(link::step::kLock);
}

void Session::stayOffline() {
    window.upDownMenuShown = false;
    window.setMainButtons(true);
    window.notify();
    engine.goOffline();
}

void Session::cancelMenu() {
    window.upDownMenuShown = false;
    window.setMainButtons(true);
    window.notify();
}

void Session::openManual() {
    std::string manual = text::kManualEnglish;
    std::ifstream in(m_setup.programDir / text::kLanguageIni, std::ios::binary);
    unsigned char bytes[4];
    if (in && in.read(reinterpret_cast<char*>(bytes), 4)) {
        const auto language =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | bytes[1] << 8 | bytes[2] << 16 |
                                      static_cast<std::uint32_t>(bytes[3]) << 24);
        if (language == kDutch)
            manual = text::kManualDutch;
    } else {
        (void)prompter.message(link::MessageKind::Information, text::kCantFindLanguageIni);
    }
    const std::string path = (m_setup.programDir / manual).string();
    if (!desktop().fileExists(path)) {
        (void)prompter.message(link::MessageKind::Information, text::kCantFindPrefix + manual);
        return;
    }
    (void)desktop().openDocument(path);
}

void Session::openPortGroup() {
    window.optionsWindowShown = true;
    window.optionsMenuShown = false;
    window.portGroupShown = true;
    window.notify();
}

void Session::closePortGroup() {
    window.portGroupShown = false;
    window.optionsWindowShown = false;
    window.optionsMenuShown = true;
    window.notify();
}

// ---------------------------------------------------------------------------------------------
// Settings files

link::FileDialogRequest Session::fileRequest(const char* title, const char* filter) const {
    link::FileDialogRequest request;
    request.title = title;
    request.filter = filter;
    request.defaultExtension = settings::text::kDefaultExtension;
    request.directory = m_setup.programDir.string();
    return request;
}

void Session::saveCommand() {
    engine.stopPolling();
    if (m_setup.dialogs) {
        auto request = fileRequest(settings::text::kSaveTitle, settings::text::kSaveFilter);
        request.fileName = settings::text::kDefaultFileName;
        request.confirmOverwrite = true;
        if (const auto path = m_setup.dialogs->saveFile(request))
            (void)file.save(*path);
    }
    engine.clearReceiveBlock();
    engine.sendLivePoll();
}

void Session::openCommand() {
    engine.stopPolling();
    const auto path =
        m_setup.dialogs
            ? m_setup.dialogs->openFile(fileRequest(settings::text::kOpenTitle, settings::text::kOpenFilter))
            : std::nullopt;
    if (!path) {
        engine.clearReceiveBlock();
        engine.sendLivePoll();
        return;
    }
    (void)file.load(*path);
    window.versionInfo = versions.held();
    engine.goOffline();
    engine.clearReceiveBuffer();
    engine.stopPolling();
    showMenu(MainWindowState::MenuForm::FileLoaded);
}

void Session::choosePredefined(int item) {
    if (!file.loadPredefined(settings::predefinedFile(m_setup.programDir, item)))
        return;
    download.writeFirstEtcFrame();
}

}  // namespace etc::app
