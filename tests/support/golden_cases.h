// Command-line cases kept as data: a folder per run, holding its arguments, its input files and
// what it must write. The program runs in-process, inside the case's folder, with its streams
// captured.
//
// A case folder holds:
//   args              one argument per line, exactly as passed (an empty line is an empty
//                     argument; a missing or empty file means no arguments at all)
//   stdin             optional: what standard input holds (else it is empty)
//   expected_stdout   the exact bytes expected on standard output
//   expected_stderr   the exact bytes expected on standard error, or instead
//   expected_stderr_like
//                     a fixed string: standard error must then be exactly one line containing it
//   expected_status   the exit status, a number on one line
//   generate          optional: a script that writes inputs too big to keep; such a case needs
//                     a shell and runs as a process (tests/cli/run_case.sh), not here
#ifndef TAVRIN_TESTS_SUPPORT_GOLDEN_CASES_H
#define TAVRIN_TESTS_SUPPORT_GOLDEN_CASES_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace tavrin::golden_cases {

// A program run in-process: its arguments and streams; the exit status.
using Program = std::function<int(const std::vector<std::string>& args, std::istream& in,
                                  std::ostream& out, std::ostream& err)>;

inline bool read_whole(const std::filesystem::path& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

// The names of the case folders under `dir` that can run in-process, sorted.
inline std::vector<std::string> case_names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.is_directory() && !std::filesystem::exists(entry.path() / "generate"))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The arguments of the case in `dir`.
inline std::vector<std::string> arguments(const std::filesystem::path& dir) {
    std::vector<std::string> args;
    std::string text;
    if (!read_whole(dir / "args", text) || text.empty()) return args;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        args.push_back(line);
    return args;
}

// Works in `dir` while it lives, as the program run from there would.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& dir) {
        char here[PATH_MAX];
        EXPECT_NE(getcwd(here, sizeof here), nullptr);
        before_ = here;
        EXPECT_EQ(chdir(dir.c_str()), 0) << dir;
    }
    ~InFolder() { EXPECT_EQ(chdir(before_.c_str()), 0); }

private:
    std::string before_;
};

// Runs the case in `dir` and checks what it wrote and its status.
inline void run_case(const Program& program, const std::filesystem::path& dir) {
    const std::vector<std::string> args = arguments(dir);
    std::string input, expected_out, expected_err, like, status_text;
    read_whole(dir / "stdin", input);
    ASSERT_TRUE(read_whole(dir / "expected_stdout", expected_out)) << dir;
    ASSERT_TRUE(read_whole(dir / "expected_status", status_text)) << dir;
    std::istringstream in(input);
    std::ostringstream out, err;
    int status = 0;
    {
        InFolder here(dir);
        status = program(args, in, out, err);
    }
    EXPECT_EQ(status, std::stoi(status_text));
    EXPECT_EQ(out.str(), expected_out);
    if (read_whole(dir / "expected_stderr", expected_err)) {
        EXPECT_EQ(err.str(), expected_err);
    } else {
        ASSERT_TRUE(read_whole(dir / "expected_stderr_like", like)) << dir;
        like = like.substr(0, like.find('\n'));
        const std::string written = err.str();
        EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1) << written;
        EXPECT_EQ(written.back(), '\n') << written;
        EXPECT_NE(written.find(like), std::string::npos) << written;
    }
}

// Gives each case its name in the test's name.
struct CaseName {
    std::string operator()(const ::testing::TestParamInfo<std::string>& info) const {
        std::string name = info.param;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    }
};

}  // namespace tavrin::golden_cases

#endif  // TAVRIN_TESTS_SUPPORT_GOLDEN_CASES_H
