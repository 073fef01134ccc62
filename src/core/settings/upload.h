// Upload: reading the module's settings into the settings image, block by block with "Z". The
// reads are a small state machine driven by the block replies: the state is the block being read,
// 70 the end, 100 a single table read back after an edit.
#pragma once

#include <functional>

#include "app/main_window_state.h"
#include "link/request_engine.h"
#include "settings/settings_image.h"
#include "settings/version_rules.h"

namespace etc::settings {

inline constexpr int kUploadEnd = 70;
inline constexpr int kUploadReadBack = 100;

class Upload {
  public:
    Upload(link::RequestEngine& engine, SettingsImage& image, VersionRules& versions,
           app::MainWindowState& window);

    // The Upload command: the whole connect handshake again, then the block reads.
    void command();
    // After the access-level reply at user level 2 or higher.
    void startBlockReads();
    // A single table read back after an edit; the reply goes to `readBack`.
    void readBackTable(Block block);

    [[nodiscard]] int state() const { return m_state; }
    // Every block read completes in this order; the test for the idle blocks is made after the PWM block.
    [[nodiscard]] static int nextState(int state, bool idleBlocks);

    // The end of an upload (state 70), after the window state was updated.
    std::function<void()> finished;
    // The read-back reply of state 100, after a curve block was decoded with the curve rule.
    std::function<void(Block block, link::ByteView data)> readBack;

  private:
    void onBlock(link::ByteView reply);
    void sendRead();
    void end();

    link::RequestEngine& m_engine;
    SettingsImage& m_image;
    VersionRules& m_versions;
    app::MainWindowState& m_window;
    int m_state = 0;
    Block m_readBackBlock = Block::Curve1;
};

}  // namespace etc::settings
