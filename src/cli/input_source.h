#pragma once

// The files of a batch, one at a time: the PATH arguments first, then the entries of a list
// file (--files-from), read as they are needed, so a list of a million paths is never held in
// memory nor passed as arguments.

#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "base/expected.h"
#include "cli/input_files.h"

namespace vellinor::cli {

// The longest entry a list may hold: the longest path Linux takes (PATH_MAX less its NUL).
inline constexpr std::size_t kLongestListEntry = 4095;

struct FileList {
    std::string source;     // a file's path, or "-" for standard input
    char separator = '\n';  // '\0' with -0
};

class InputSource {
public:
    // Opens the list, if any; listStatus() tells why it could not be opened.
    InputSource(const std::vector<std::string>& paths, bool recursive,
                const std::optional<FileList>& list);
    ~InputSource();
    InputSource(const InputSource&) = delete;
    InputSource& operator=(const InputSource&) = delete;

    // Why the list could not be opened or read to its end ("no such file", ...).
    [[nodiscard]] const Status& listStatus() const { return m_listStatus; }
    // Says on standard error why the list could not be opened or read to its end, naming it
    // as it was given ("standard input" for -); false when it could.
    bool reportListFailure() const;

    // The next file, or nullopt after the last. Empty entries of a list are skipped; with
    // `recursive`, a folder among them stands for the files under it, as on the command line.
    std::optional<InputFile> next();

    // How many files the batch holds, when that is known before they are read: the arguments
    // alone, or a list in a regular file that holds no folder to walk (counted by reading it
    // once, without keeping it, however often it is asked). Call before the first next().
    [[nodiscard]] std::optional<std::size_t> plannedTotal() const;

private:
    [[nodiscard]] std::optional<std::size_t> countPlanned() const;

    // The list's next entry that is not empty, nothing after the last, or why it cannot be read.
    Expected<std::optional<std::string>> readListEntry();

    std::deque<InputFile> m_pending;  // arguments, or the files found under one listed folder
    bool m_recursive;
    std::optional<FileList> m_list;
    std::FILE* m_file = nullptr;
    bool m_ownsFile = false;
    Status m_listStatus = ok();
    mutable std::optional<std::optional<std::size_t>> m_planned;  // once counted
};

}  // namespace vellinor::cli
