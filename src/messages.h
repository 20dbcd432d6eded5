// Every text Tavrin writes for its user: the help text and the diagnostics of the driver and of
// the analysis. Rows and header lines are data, not texts, and are written where they are made.
#ifndef TAVRIN_MESSAGES_H
#define TAVRIN_MESSAGES_H

namespace tavrin::messages {

constexpr const char* kHelp =
    "You can run the program in the following way:\n"
    "\n"
    "./Tavrin [-h?] [--groupFile <groupFile>] [--E] <SearchPrefix> <File1> <File2> .....\n"
    "\n"
    "\n"
    "Required Arguments:\n"
    "<SearchPrefix> \t\t the prefix of the target family or group for which Tavrin will find "
    "sisters.\n"
    "<FileX> \t\t file with a single phylogenetic tree in Newik format.\n"
    "\n"
    "Optional Arguments:\n"
    "-h, -? \t\t\t Prints this help message.\n"
    "--groupFile <groupFile>  Tavrin will use a hierarical clustering of leaf prefixes found in "
    "<GroupFile>  \n"
    "\t\t\t to group non-monophyletic sister clades. The format is shown in the included README\n"
    "--E \t\t\t Tavrin will uses regular expression searching rather than strict exact prefix\n"
    "\t\t\t matching to find the target group.\n";

// "The file <path> is not opened"
constexpr const char* kFileNotOpenedBefore = "The file ";
constexpr const char* kFileNotOpenedAfter = " is not opened";
// Followed by the system's reason.
constexpr const char* kCannotWriteOutput = "Couldnt write output: ";
// Followed by the path of the tree file or group file being read.
constexpr const char* kOutOfMemory = "Out of memory while reading ";

// Followed by the group file's path.
constexpr const char* kCannotOpenGroupFile = "Couldnt open file: ";
constexpr const char* kGroupFileTooLarge = "Group file closes into too many pairs: ";

constexpr const char* kCladeNotFound = "CLADE NOT FOUND";
constexpr const char* kTargetIsRoot = "TARGET IS ROOT";
// Followed by the pattern and, in parentheses, what is wrong with it.
constexpr const char* kInvalidPattern = "Invalid regular expression for --E: ";

}  // namespace tavrin::messages

#endif  // TAVRIN_MESSAGES_H
