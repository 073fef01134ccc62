// The port group of the Options window: which port the engine opens, the automatic search over the
// port list, the manual choice, and saving the choice in "com.ini".
//
// The search walks the port list twice. A port that cannot be opened is passed over 60 ms later. A
// port that opens but never answers is probed until the engine gives up on it (six time-outs); the
// search then moves on to the next port rather than stopping there with its panel still shown.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/desktop.h"
#include "link/prompter.h"
#include "link/request_engine.h"

namespace etc::link {

namespace text {
inline constexpr const char* kNoPortFound =
    "No Com port or connection was found\r\nPlease check USB cable and that the Power(12V) is connected to "
    "ECU !!!";
inline constexpr const char* kChoosePortFirst =
    "Please click on the Auto search button\r\nor select manually the Com port !!!";
inline constexpr const char* kComIniWriteError = "Write Error File: com.ini";
inline constexpr const char* kComViewMissing = "Can't find:  Com_view.bat";
inline constexpr const char* kComIniName = "com.ini";
inline constexpr const char* kComViewName = "Com_view.bat";
}  // namespace text

// The port names offered by the search and the manual list: COM1..COM20 on Windows, elsewhere the
// system's serial ports (at most 20). Tests give their own.
[[nodiscard]] std::vector<std::string> windowsPortList();

class PortGroup {
  public:
    PortGroup(RequestEngine& engine, Prompter& prompter, Desktop& desktop, std::string programDir,
              std::vector<std::string> portList);

    // Reads "com.ini" (else the "-1".."-9" arguments) and hands the name to the engine. Returns it.
    std::string readPortSetting(const std::vector<std::string>& args);
    // A port named on the command line: used instead of the one read from "com.ini".
    void usePortName(const std::string& name);

    // --- Actions of the group ---
    void autoSearch();
    void showManualSelect();
    void manualOk(int index);
    void manualCancel();
    void openDeviceManager();
    // False when the group stays open (empty port field).
    bool save();

    // --- State shown by the group ---
    [[nodiscard]] const std::string& editText() const { return m_edit; }
    void setEditText(std::string text) { m_edit = std::move(text); }
    [[nodiscard]] bool searching() const { return m_searching; }
    [[nodiscard]] bool manualPanelShown() const { return m_manualShown; }
    [[nodiscard]] const std::vector<std::string>& portList() const { return m_ports; }
    [[nodiscard]] int searchIndex() const { return m_index; }
    [[nodiscard]] bool secondPass() const { return m_secondPass; }
    // The caption of the main window's port button: the name read at start.
    [[nodiscard]] const std::string& portButtonCaption() const { return m_buttonCaption; }

    std::function<void()> changed;
    // The version text of the module that answered a probe, for the version field.
    std::function<void(const std::string&)> versionFound;

  private:
    void probe();
    void probeAnswered(const std::string& version);
    void passOver();
    void notify() {
        if (changed)
            changed();
    }

    RequestEngine& m_engine;
    Prompter& m_prompter;
    Desktop& m_desktop;
    std::string m_dir;
    std::vector<std::string> m_ports;
    std::string m_edit;
    std::string m_buttonCaption;
    bool m_searching = false;
    bool m_manualShown = false;
    bool m_secondPass = false;
    int m_index = 0;
};

}  // namespace etc::link
