#include "settings/upload.h"

namespace etc::settings {

namespace {
bool isBlockState(int state) {
    return (state >= 3 && state <= 19) || state == static_cast<int>(Block::Calibration);
}

// The progress maximum: every byte of blocks 3 to 19.
int progressMaximum(const BlockMap& map) {
    if (!map.isSet())
        return 0;
    const BlockSpan first = map.span(Block::Curve1);
    const BlockSpan last = map.span(Block::IdleStart);
    return 2 * (last.address + last.words - first.address);
}
}  // namespace

Upload::Upload(link::RequestEngine& engine, SettingsImage& image, VersionRules& versions,
               app::MainWindowState& window)
    : m_engine(engine), m_image(image), m_versions(versions), m_window(window) {
    auto& hooks = m_engine.hooks();
    hooks.blockRead = [this](link::ByteView reply) { onBlock(reply); };
    hooks.blockProgress = [this](std::size_t bytes) {
        m_window.progress.position += static_cast<int>(bytes);
        m_window.notify();
    };
}

int Upload::nextState(int state, bool idleBlocks) {
    switch (state) {
        case 17:
            return idleBlocks ? 18 : static_cast<int>(Block::Calibration);
        case 19:
            return static_cast<int>(Block::Calibration);
        case static_cast<int>(Block::Calibration):
            return kUploadEnd;
        default:
            return state + 1;
    }
}

void Upload::command() {
    m_window.dashboard.enableValueDisplay(false);
    m_engine.stopPolling();
    m_engine.resetErrorCounter();
    m_window.dashboard.hidePowerInterruptedPanel();
    m_window.upDownMenuShown = false;
    m_window.progress.caption = app::text::kUploading;
    m_window.progress.position = 0;
    m_window.progress.maximum = progressMaximum(m_image.blockMap());
    m_window.progress.shown = true;
    m_window.notify();
    m_engine.setSequenceState(link::sequence::kIdle);
    m_engine.schedule(link::step::kConnect);
}

void Upload::startBlockReads() {
    m_versions.versionCheck(m_versions.held());
    if (!m_image.blockMap().isSet())
        return;
    if (!m_versions.newerQuestion(VersionRules::NewerForm::Ok))
        return;
    m_window.setMainButtons(true);
    m_window.mapPanelsShown = true;
    m_window.idlePanelShown = hasIdleBlocks(m_versions.held());
    m_window.progress.position = 0;
    m_window.progress.maximum = progressMaximum(m_image.blockMap()) + 2;
    m_window.notify();
    m_state = static_cast<int>(Block::Curve1);
    // The reads are a new conversation: after a stop (a level change stops polling first) the input
    // must be read again.
    m_engine.clearReceiveBlock();
    sendRead();
}

void Upload::readBackTable(Block block) {
    m_state = kUploadReadBack;
    m_readBackBlock = block;
    sendRead();
}

void Upload::sendRead() {
    const Block block = m_state == kUploadReadBack ? m_readBackBlock : static_cast<Block>(m_state);
    const BlockSpan span = m_image.blockMap().span(block);
    m_engine.sendBlockRead(span.address, span.words);
}

void Upload::onBlock(link::ByteView reply) {
    const link::ByteView data = reply.subspan(1, reply.size() - 2);
    if (m_state == kUploadReadBack) {
        m_state = 0;
        if (m_readBackBlock == Block::Curve1 || m_readBackBlock == Block::Curve2)
            (void)m_image.decode(m_readBackBlock, data);
        if (readBack)
            readBack(m_readBackBlock, data);
        return;
    }
    if (!isBlockState(m_state))
        return;
    (void)m_image.decode(static_cast<Block>(m_state), data);
    m_state = nextState(m_state, hasIdleBlocks(m_versions.held()));
    if (m_state == kUploadEnd) {
        end();
        return;
    }
    sendRead();
}

void Upload::end() {
    m_window.progress.shown = false;
    m_window.setMainButtons(true);
    m_window.notify();
    if (finished)
        finished();
    if (m_engine.online())
        m_engine.pollTimer().start();
}

}  // namespace etc::settings
