// Settings files ("*.e00"): 1031 16-bit words stored low byte first. Words 0..5 hold the version
// text, two characters a word; word 6 + a holds module word a; the last word is 0. The idle blocks
// are zeros for versions without them, the gap between the idle start block and the calibration
// block is zeros. The predefined files "Pred01.e0i".."Pred05.e0i" in the folder "System" have the
// same layout; only the control-loop part of their ETC block is taken.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "link/codec.h"
#include "link/prompter.h"

namespace etc::settings {

class SettingsImage;
class VersionRules;

inline constexpr std::size_t kFileWords = 1031;
inline constexpr std::size_t kFileBytes = 2 * kFileWords;
inline constexpr std::size_t kHeaderWords = 6;
// Every block lies before the final zero word, so a file must reach at least this far.
inline constexpr std::size_t kFileBytesNeeded = 2 * (kFileWords - 1);

namespace text {
inline constexpr const char* kErrorSaving = "Error on saving data";
inline constexpr const char* kErrorReading = "Error on reading file";
inline constexpr const char* kOpenTitle = "Open";
inline constexpr const char* kSaveTitle = "Save as";
inline constexpr const char* kOpenFilter = "E_gas (*.e00)|*.e00";
inline constexpr const char* kSaveFilter = "E_gas(*.e00)|*e00";
inline constexpr const char* kDefaultExtension = "e00";
inline constexpr const char* kDefaultFileName = "noname.e00";
inline constexpr const char* kPredefinedFolder = "System";
}  // namespace text

// The header's twelve bytes for a version text (zero-padded to twelve characters, two to a word, each
// word low byte first), and the text read back from them (the characters before the first zero).
[[nodiscard]] std::array<std::uint8_t, 12> fileHeader(std::string_view version);
[[nodiscard]] std::string headerText(link::ByteView header);
// "Pred01.e0i".."Pred05.e0i" in the folder "System" of the program's folder; item 1..5.
[[nodiscard]] std::filesystem::path predefinedFile(const std::filesystem::path& programDir, int item);

class SettingsFile {
  public:
    SettingsFile(SettingsImage& image, VersionRules& versions, link::Prompter& prompter);

    // The whole file for the current image and the held version text. Needs the block map.
    [[nodiscard]] link::Bytes build() const;

    enum class SaveResult { Saved, Cancelled, NoBlockMap, Failed };
    // Version check and the newer question first. The file is written beside the target under a
    // temporary name and only then put in its place, so a failed save never destroys an existing file.
    SaveResult save(const std::filesystem::path& path);

    enum class LoadResult { Loaded, NotReadable, NewerRefused, NoBlockMap };
    // The whole file is read and its length checked before anything is decoded: a missing, unreadable
    // or short file leaves the image and the held version text exactly as they were.
    LoadResult load(const std::filesystem::path& path);

    // The control-loop values of a predefined file. False (after "Error on reading file" for a file
    // that cannot be read) when nothing was taken.
    bool loadPredefined(const std::filesystem::path& path);

  private:
    SettingsImage& m_image;
    VersionRules& m_versions;
    link::Prompter& m_prompter;
};

// Reads a whole file; nothing when it cannot be opened or read.
[[nodiscard]] std::optional<link::Bytes> readWholeFile(const std::filesystem::path& path);
// Writes a file through a temporary file in the same folder that replaces the target at the end.
[[nodiscard]] bool writeFileReplacing(const std::filesystem::path& path, link::ByteView bytes);

}  // namespace etc::settings
