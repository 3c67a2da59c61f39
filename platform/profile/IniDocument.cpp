#include "platform/profile/IniDocument.h"

#include "platform/profile/CaseFold.h"

namespace ostrivane::profile {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string_view HeaderName(std::string_view trimmedLine) {
    std::string_view name = trimmedLine.substr(1);
    const std::size_t close = name.find(']');
    if (close != std::string_view::npos)
        name = name.substr(0, close);
    return TrimBlanks(name);
}

} // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

IniDocument::IniDocument(std::string_view text) {
    sections_.emplace_back();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string_view trimmed = TrimBlanks(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            Section section;
            section.hasHeader = true;
            section.header = std::string(line);
            section.foldedName = FoldCase(HeaderName(trimmed));
            sectionIndex_.try_emplace(section.foldedName, sections_.size());
            sections_.push_back(std::move(section));
        } else {
            AddLine(sections_.back(), std::string(line));
        }
        start = next;
    }
}

void IniDocument::AddLine(Section& section, std::string text) {
    Line line{std::move(text)};
    const std::string_view trimmed = TrimBlanks(line.text);
    if (section.hasHeader && !trimmed.empty() && trimmed.front() != ';') {
        line.equals = line.text.find('=');
        if (line.equals != std::string::npos) {
            const std::string_view key =
                TrimBlanks(std::string_view(line.text).substr(0, line.equals));
            section.keys.try_emplace(FoldCase(key), section.lines.size());
            section.afterLastKey = section.lines.size() + 1;
            section.hasKeys = true;
        }
    }
    section.lines.push_back(std::move(line));
}

const IniDocument::Section* IniDocument::FindSection(std::string_view section) const {
    const auto it = sectionIndex_.find(FoldCase(TrimBlanks(section)));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

IniDocument::Section* IniDocument::FindSection(std::string_view section) {
    const auto it = sectionIndex_.find(FoldCase(TrimBlanks(section)));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
    const Section* found = FindSection(section);
    if (!found)
        return std::nullopt;
    const auto it = found->keys.find(FoldCase(TrimBlanks(key)));
    if (it == found->keys.end())
        return std::nullopt;
    const Line& line = found->lines[it->second];
    return Unquote(TrimBlanks(std::string_view(line.text).substr(line.equals + 1)));
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view stored) {
    Section* target = FindSection(section);
    if (!target) {
        Section created;
        created.hasHeader = true;
        created.header = "[" + std::string(section) + "]";
        created.foldedName = FoldCase(section);
        sectionIndex_.try_emplace(created.foldedName, sections_.size());
        sections_.push_back(std::move(created));
        target = &sections_.back();
    }
    std::string folded = FoldCase(key);
    const auto it = target->keys.find(folded);
    if (it != target->keys.end()) {
        Line& line = target->lines[it->second];
        std::string spelling(TrimBlanks(std::string_view(line.text).substr(0, line.equals)));
        line.equals = spelling.size();
        line.text = std::move(spelling) + "=" + std::string(stored);
        return;
    }
    std::size_t position = target->afterLastKey;
    if (!target->hasKeys) {
        // A section without keys: after its last line that is not blank.
        position = target->lines.size();
        while (position > 0 && TrimBlanks(target->lines[position - 1].text).empty())
            --position;
    }
    // Only lines without keys follow `position`, so no index entry moves.
    Line line{std::string(key) + "=" + std::string(stored), key.size()};
    target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(position),
                         std::move(line));
    target->keys.emplace(std::move(folded), position);
    target->afterLastKey = position + 1;
    target->hasKeys = true;
}

bool IniDocument::EraseSection(std::string_view section) {
    const std::string folded = FoldCase(TrimBlanks(section));
    const std::size_t before = sections_.size();
    std::erase_if(sections_,
                  [&](const Section& s) { return s.hasHeader && s.foldedName == folded; });
    if (sections_.size() == before)
        return false;
    RebuildSectionIndex();
    return true;
}

void IniDocument::RebuildSectionIndex() {
    sectionIndex_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        if (sections_[i].hasHeader)
            sectionIndex_.try_emplace(sections_[i].foldedName, i);
}

std::string IniDocument::Text() const {
    std::string text;
    for (const Section& section : sections_) {
        if (section.hasHeader) {
            text += section.header;
            text += "\r\n";
        }
        for (const Line& line : section.lines) {
            text += line.text;
            text += "\r\n";
        }
    }
    return text;
}

} // namespace ostrivane::profile
