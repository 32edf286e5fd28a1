// The shell completions of vellinor-cli, driven the way each shell drives them: bash through
// bash-completion's own entry point with COMP_WORDS and COMP_CWORD set, fish through
// `complete -C`, zsh by the option descriptions its completion hands to _arguments and by
// pressing Tab in an interactive zsh. Each must offer every option --help lists, and the right
// values and files.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "help_options.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

const fs::path kShare = fs::path(VELLINOR_BINARY_DIR) / "share";
const fs::path kBashCompletion = kShare / "bash-completion/completions/vellinor-cli";
const fs::path kZshCompletion = kShare / "zsh/site-functions/_vellinor-cli";
const fs::path kFishCompletion = kShare / "fish/vendor_completions.d/vellinor-cli.fish";
// bash-completion's main script, which loads the completions and provides their helpers.
const std::string kBashCompletionMain = VELLINOR_BASH_COMPLETION_MAIN;
const std::string kBash = VELLINOR_BASH;
const std::string kZsh = VELLINOR_ZSH;
const std::string kFish = VELLINOR_FISH;

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// Standard output of a shell run; fails the test when the shell does not exit with 0.
std::string runShell(const std::string& shell, const std::vector<std::string>& arguments)
{
    const auto run = platform::runProcess(shell, arguments);
    EXPECT_TRUE(run.outcome == platform::ProcessResult::Outcome::exited && run.exitCode == 0)
        << shell << " failed (exit " << run.exitCode << ") " << run.startError;
    return run.standardOutput;
}

// What bash offers for the command line `line` with the cursor at its end, run in `folder`.
std::vector<std::string> bashCompletions(const fs::path& folder, const std::string& line)
{
    static const std::string script = R"(
        source "$1" && source "$2" && cd "$3" || exit 1
        COMP_LINE=$4
        COMP_POINT=${#COMP_LINE}
        read -ra COMP_WORDS <<<"$COMP_LINE"
        [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _vellinor_cli
        printf '%s\n' "${COMPREPLY[@]}"
    )";
    auto offered = lines(runShell(kBash, {"-c", script, "bash", kBashCompletionMain,
                                          kBashCompletion.string(), folder.string(), line}));
    std::erase(offered, "");
    std::sort(offered.begin(), offered.end());
    return offered;
}

// What fish offers for `line`: each candidate, without its description.
std::vector<std::string> fishCompletions(const fs::path& folder, const std::string& line)
{
    auto offered = lines(runShell(
        kFish, {"--no-config", "-c", "source $argv[1]; and cd $argv[2]; and complete -C $argv[3]",
                kFishCompletion.string(), folder.string(), line}));
    for (std::string& candidate : offered)
        candidate = candidate.substr(0, candidate.find('\t'));
    return offered;
}

// The command lines zsh makes of `typed` when Tab is pressed at the end of each, in `folder`:
// one interactive zsh on a pseudo-terminal (zsh/zpty) with the completion on its $fpath, whose
// edit buffer a key bound to a small widget prints back (and clears for the next line).
std::vector<std::string> zshCompletedLines(const fs::path& folder,
                                           const std::vector<std::string>& typed)
{
    static const std::string script = R"(
        zmodload zsh/zpty || exit 1
        zpty z zsh -f -i
        zpty -w z "fpath=(${(q)1} \$fpath); autoload -U compinit; compinit -u -D; cd ${(q)2}"
        zpty -w z 'show() { print -r -- "{{""line:$BUFFER}}"; BUFFER= }; zle -N show; bindkey "^X" show'
        local out chunk line
        for line in "${@:3}"; do
            zpty -w -n z "$line"$'\t\C-x'
            out=
            while [[ $out != *'{{line:'*'}}'* ]]; do
                if zpty -r -t z chunk; then out+=$chunk; else sleep 0.05; fi
            done
            out=${out##*\{\{line:}
            print -r -- "${out%%\}\}*}"
        done
        zpty -d z
    )";
    std::vector<std::string> arguments{
        "-f", "-c", script, "zsh", kZshCompletion.parent_path().string(), folder.string()};
    arguments.insert(arguments.end(), typed.begin(), typed.end());
    platform::ProcessOptions options;
    options.timeout = std::chrono::seconds(60);
    const auto run = platform::runProcess(kZsh, arguments, options);
    EXPECT_TRUE(run.outcome == platform::ProcessResult::Outcome::exited && run.exitCode == 0)
        << "zsh did not complete every line";
    return lines(run.standardOutput);
}

// The option names in the descriptions zsh's completion hands to _arguments, e.g.
// "(-j --jobs)-j+[Files probed ...]:N:_vellinor_cli_counts" names -j.
std::vector<std::string> zshSpecifiedOptions()
{
    const std::string script = R"(_arguments() { print -rl -- "$@" }; source "$1")";
    std::vector<std::string> names;
    const std::string specs = runShell(kZsh, {"-f", "-c", script, "zsh", kZshCompletion.string()});
    for (std::string spec : lines(specs)) {
        if (spec.starts_with("("))
            spec.erase(0, spec.find(')') + 1);
        if (spec.starts_with("-") && spec != "-s" && spec != "-S")
            names.push_back(spec.substr(0, spec.find_first_of("[=+:")));
    }
    return names;
}

std::set<std::string> helpOptionNames()
{
    const CliRun help = runCli({"--help"});
    EXPECT_EQ(help.exitStatus, 0) << help.err;
    const auto names = allOptionNames(parseHelpOptions(help.out));
    return {names.begin(), names.end()};
}

// A folder with a media file, a file whose name starts with a dash, a text file and a folder.
class CompletionFolder {
public:
    CompletionFolder()
    {
        writeFile(m_folder / "clip.mkv", "");
        writeFile(m_folder / "-take2.mov", "");
        writeFile(m_folder / "notes.txt", "");
        fs::create_directory(m_folder / "sub");
    }
    [[nodiscard]] const fs::path& path() const { return m_folder.path(); }

private:
    TempDir m_folder;
};

TEST(Completion, EveryShellOffersEveryOptionOfTheHelp)
{
    const std::set<std::string> help = helpOptionNames();
    ASSERT_TRUE(help.contains("--jobs"));
    // An empty folder: fish offers files whose names start with "-" among the options.
    const TempDir folder;
    struct Shell {
        const char* name;
        std::string program;
        std::function<std::vector<std::string>()> offered;
    };
    const std::vector<Shell> shells{
        {"bash", kBashCompletionMain,
         [&] { return bashCompletions(folder.path(), "vellinor-cli -"); }},
        {"fish", kFish, [&] { return fishCompletions(folder.path(), "vellinor-cli -"); }},
        {"zsh", kZsh, [] { return zshSpecifiedOptions(); }},
    };
    for (const Shell& shell : shells) {
        SCOPED_TRACE(shell.name);
        if (shell.program.empty()) {
            std::cout << "[ SKIPPED  ] " << shell.name << ": not installed\n";
            continue;
        }
        const auto offeredList = shell.offered();
        const std::set<std::string> offered(offeredList.begin(), offeredList.end());
        for (const std::string& name : help)
            EXPECT_TRUE(offered.contains(name)) << shell.name << " does not offer " << name;
        for (const std::string& name : offered)
            EXPECT_TRUE(help.contains(name))
                << shell.name << " offers " << name << ", which --help does not list";
    }
}

TEST(Completion, BashOffersValuesAndFilesWhereTheyBelong)
{
    if (kBashCompletionMain.empty())
        GTEST_SKIP() << "bash-completion is not installed";
    const CompletionFolder folder;
    const std::string cores = runShell(kBash, {"-c", "seq 1 \"$(nproc)\""});
    struct Case {
        const char* line;
        std::vector<std::string> offered;  // sorted
    };
    const std::vector<Case> cases{
        {"vellinor-cli --ti", {"--timeout"}},
        {"vellinor-cli --rec", {"--record", "--recursive"}},
        // A folder for --export, in either form; no files.
        {"vellinor-cli --export ", {"sub"}},
        {"vellinor-cli --export=s", {"sub"}},
        {"vellinor-cli --timeout 1", {"10", "120"}},
        {"vellinor-cli --jobs ", lines(cores)},
        // Any file for the list of paths.
        {"vellinor-cli --files-from no", {"notes.txt"}},
        // Files (and folders, for -r) for the paths; after "--" a leading dash is a name.
        {"vellinor-cli cl", {"clip.mkv"}},
        {"vellinor-cli --details -r ", {"-take2.mov", "clip.mkv", "notes.txt", "sub"}},
        {"vellinor-cli -- -", {"-take2.mov"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto expected = c.offered;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(bashCompletions(folder.path(), c.line), expected);
    }
}

TEST(Completion, ZshCompletesOptionsValuesAndFiles)
{
    if (kZsh.empty())
        GTEST_SKIP() << "zsh is not installed";
    const CompletionFolder folder;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"vellinor-cli --ti", "vellinor-cli --timeout="},
        {"vellinor-cli --timeout 12", "vellinor-cli --timeout 120 "},
        {"vellinor-cli --export ", "vellinor-cli --export sub/"},
        {"vellinor-cli --files-from no", "vellinor-cli --files-from notes.txt "},
        {"vellinor-cli cl", "vellinor-cli clip.mkv "},
    };
    std::vector<std::string> typed;
    std::vector<std::string> expected;
    for (const auto& [line, completed] : cases) {
        typed.push_back(line);
        expected.push_back(completed);
    }
    EXPECT_EQ(zshCompletedLines(folder.path(), typed), expected);
}

TEST(Completion, FishOffersFoldersForExport)
{
    if (kFish.empty())
        GTEST_SKIP() << "fish is not installed";
    const CompletionFolder folder;
    EXPECT_EQ(fishCompletions(folder.path(), "vellinor-cli --export "),
              std::vector<std::string>{"sub/"});
}

}  // namespace
}  // namespace vellinor::test
