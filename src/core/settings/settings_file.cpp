#include "settings/settings_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "settings/settings_image.h"
#include "settings/version_rules.h"

namespace etc::settings {

namespace {

// File word w as the module's byte pair (high, low): words are stored low byte first.
void appendModuleWord(link::Bytes& blockBytes, link::ByteView file, std::size_t word) {
    blockBytes.push_back(file[2 * word + 1]);
    blockBytes.push_back(file[2 * word]);
}

void putBlock(link::Bytes& file, int address, link::ByteView blockBytes) {
    for (std::size_t i = 0; i + 1 < blockBytes.size(); i += 2) {
        const std::size_t word = kHeaderWords + static_cast<std::size_t>(address) + i / 2;
        file[2 * word] = blockBytes[i + 1];
        file[2 * word + 1] = blockBytes[i];
    }
}

bool fileHasBlock(Block block, std::string_view version) {
    return (block != Block::IdleTable && block != Block::IdleStart) || hasIdleBlocks(version);
}

}  // namespace

std::array<std::uint8_t, 12> fileHeader(std::string_view version) {
    std::array<std::uint8_t, 12> chars{};
    for (std::size_t i = 0; i < chars.size() && i < version.size(); ++i)
        chars[i] = static_cast<std::uint8_t>(version[i]);
    std::array<std::uint8_t, 12> header{};
    for (std::size_t w = 0; w < 6; ++w) {
        header[2 * w] = chars[2 * w + 1];
        header[2 * w + 1] = chars[2 * w];
    }
    return header;
}

std::string headerText(link::ByteView header) {
    std::string text;
    for (std::size_t i = 0; i < 12 && i < header.size(); ++i) {
        const std::uint8_t c = header[i % 2 == 0 ? i + 1 : i - 1];
        if (c == 0)
            break;
        text += static_cast<char>(c);
    }
    return text;
}

std::filesystem::path predefinedFile(const std::filesystem::path& programDir, int item) {
    char name[16];
    std::snprintf(name, sizeof name, "Pred%02d.e0i", item);
    return programDir / text::kPredefinedFolder / name;
}

std::optional<link::Bytes> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    link::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

bool writeFileReplacing(const std::filesystem::path& path, link::ByteView bytes) {
    std::filesystem::path temp = path;
    temp += ".saving";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temp, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return false;
    }
    return true;
}

SettingsFile::SettingsFile(SettingsImage& image, VersionRules& versions, link::Prompter& prompter)
    : m_image(image), m_versions(versions), m_prompter(prompter) {}

link::Bytes SettingsFile::build() const {
    link::Bytes file(kFileBytes, 0);
    const auto header = fileHeader(m_versions.held());
    std::copy(header.begin(), header.end(), file.begin());
    for (const Block block : kBlocks) {
        if (!fileHasBlock(block, m_versions.held()))
            continue;
        putBlock(file, m_image.blockMap().span(block).address, m_image.encode(block));
    }
    return file;
}

SettingsFile::SaveResult SettingsFile::save(const std::filesystem::path& path) {
    m_versions.versionCheck(m_versions.held());
    if (!m_versions.newerQuestion(VersionRules::NewerForm::CancelIgnore))
        return SaveResult::Cancelled;
    if (!m_image.blockMap().isSet())
        return SaveResult::NoBlockMap;
    if (!writeFileReplacing(path, build())) {
        (void)m_prompter.message(link::MessageKind::Information, text::kErrorSaving);
        return SaveResult::Failed;
    }
    return SaveResult::Saved;
}

SettingsFile::LoadResult SettingsFile::load(const std::filesystem::path& path) {
    const auto file = readWholeFile(path);
    if (!file || file->size() < kFileBytesNeeded) {
        (void)m_prompter.message(link::MessageKind::Information, text::kErrorReading);
        return LoadResult::NotReadable;
    }
    const std::string version = headerText(link::ByteView(*file).first(12));
    m_versions.setHeld(version);
    m_versions.versionCheck(version);
    if (!m_versions.newerQuestion(VersionRules::NewerForm::Ok))
        return LoadResult::NewerRefused;
    if (!m_image.blockMap().isSet())
        return LoadResult::NoBlockMap;
    link::Bytes blockBytes;
    for (const Block block : kBlocks) {
        if (!fileHasBlock(block, version))
            continue;
        const BlockSpan span = m_image.blockMap().span(block);
        blockBytes.clear();
        for (int w = 0; w < span.words; ++w)
            appendModuleWord(blockBytes, *file, kHeaderWords + static_cast<std::size_t>(span.address + w));
        (void)m_image.decode(block, blockBytes);
    }
    return LoadResult::Loaded;
}

bool SettingsFile::loadPredefined(const std::filesystem::path& path) {
    if (!m_image.blockMap().isSet())
        return false;
    const auto file = readWholeFile(path);
    const BlockSpan etc = m_image.blockMap().span(Block::Etc);
    const std::size_t end = 2 * (kHeaderWords + static_cast<std::size_t>(etc.address + etc.words));
    if (!file || file->size() < end) {
        (void)m_prompter.message(link::MessageKind::Information, text::kErrorReading);
        return false;
    }
    link::Bytes blockBytes;
    for (int w = 0; w < etc.words; ++w)
        appendModuleWord(blockBytes, *file, kHeaderWords + static_cast<std::size_t>(etc.address + w));
    m_image.decodeControlLoop(link::ByteView(blockBytes).first(36));
    return true;
}

}  // namespace etc::settings
