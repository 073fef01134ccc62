#include "app/session.h"

namespace etc::app {

Session::Session(link::SerialPort& port, link::TimerService& timers, link::Prompter& prompter_)
    : prompter(prompter_),
      engine(port, timers, prompter_),
      versions(prompter_),
      upload(engine, image, versions, window),
      download(engine, image, versions, window, prompter_),
      file(image, versions, prompter_),
      access(engine, window, upload, versions, prompter_) {
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
        if (!online)
            wentOffline();
    };
    window.versionInfo = versions.held();
}

void Session::start() {
    versions.setHeld(std::string(settings::kToolVersion));
    window.versionInfo = versions.held();
    window.setMainButtons(false);
    window.valueDisplayEnabled = false;
    window.progress.caption = text::kUploading;
    window.idlePanelShown = settings::hasIdleBlocks(versions.held());
    window.notify();
    engine.schedule(link::step::kConnect);
}

void Session::wentOffline() {
    window.valueDisplayEnabled = false;
    window.progress.shown = false;
    window.notify();
}

}  // namespace etc::app

namespace etc::app {

link::FileDialogRequest Session::fileRequest(const char* title, const char* filter) const {
    link::FileDialogRequest request;
    request.title = title;
    request.filter = filter;
    request.defaultExtension = settings::text::kDefaultExtension;
    request.directory = m_programDir.string();
    return request;
}

void Session::saveCommand() {
    engine.stopPolling();
    if (m_dialogs) {
        auto request = fileRequest(settings::text::kSaveTitle, settings::text::kSaveFilter);
        request.fileName = settings::text::kDefaultFileName;
        request.confirmOverwrite = true;
        if (const auto path = m_dialogs->saveFile(request))
            (void)file.save(*path);
    }
    engine.clearReceiveBlock();
    engine.sendLivePoll();
}

void Session::openCommand() {
    engine.stopPolling();
    const auto path =
        m_dialogs ? m_dialogs->openFile(fileRequest(settings::text::kOpenTitle, settings::text::kOpenFilter))
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
    window.mainButtonsEnabled = false;
    window.optionsButtonEnabled = false;
    window.upDownMenuShown = true;
    window.upDownMenuForm = MainWindowState::MenuForm::FileLoaded;
    window.notify();
}

void Session::choosePredefined(int item) {
    if (!file.loadPredefined(settings::predefinedFile(m_programDir, item)))
        return;
    download.writeFirstEtcFrame();
}

}  // namespace etc::app
