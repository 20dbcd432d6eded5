// Every text Tavrin writes for its user: the help text and the diagnostics of the driver and of
// the analysis. Rows and header lines are data, not texts, and are written where they are made.
#ifndef TAVRIN_OUTPUT_MESSAGES_H
#define TAVRIN_OUTPUT_MESSAGES_H

#include <cstddef>

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

// Command-line errors, each followed by the option's name and, for a value, the value.
constexpr const char* kOptionTwice = "Option given twice: ";
constexpr const char* kMissingValue = "Missing value for ";
constexpr const char* kNotAWholeNumber = "Not a whole number for ";
constexpr const char* kNegativeValue = "Negative value for ";
constexpr const char* kValueTooLarge = "Value too large for ";
constexpr const char* kValueBelowOne = "Value below 1 for ";
constexpr const char* kValueTooSmall = "Value too small for ";
constexpr const char* kNotANumber = "Not a number for ";
constexpr const char* kNotOneByte = "Not a single byte for ";
constexpr const char* kNotASeparator = "Not a usable separator for ";
constexpr const char* kNotAFolder = "Not a folder for ";
constexpr const char* kEmptyList = "Empty list for ";
constexpr const char* kEmptyListEntry = "Empty entry in the list for ";
constexpr const char* kEmptyName = "Empty name for ";
// "Repeated entry in the list for --targets: 'Bryo'"; "Too many entries in the list for
// --targets: '<list>' (at most 1000)"
constexpr const char* kRepeatedListEntry = "Repeated entry in the list for ";
constexpr const char* kTooManyListEntries = "Too many entries in the list for ";
// Follows the option's name.
constexpr const char* kNeedsStandardNewick = " needs --standard-newick";
constexpr const char* kStraysNeedRoot = "--root-strays above 0 needs --root";
constexpr const char* kAttributeOrField =
    "--support-attribute and --support-field cannot be given together";
// Follows kNotASeparator's message.
constexpr const char* kSeparatorsAllowed = " (any byte but blanks and ( ) , : ; ' [ ])";
// "Not a usable label for --label: '<value>' (1 to 40 bytes of A-Z a-z 0-9 . _ -)"
constexpr const char* kNotALabel = "Not a usable label for ";
constexpr const char* kLabelsAllowed = " (1 to 40 bytes of A-Z a-z 0-9 . _ -)";
// Follows the message of a purity too small or too large.
constexpr const char* kPurityRange = " (above 0.5, at most 1)";

// A tree file's text that is not a tree. The classic dialect: followed by the text's last
// character and a closing quote. Standard Newick: "Malformed Newick in <file>, tree <k>, at byte
// <offset>: <what>".
constexpr const char* kMalformedClassic =
    "Malformed Newik Format file, the last character should be a ';', it's '";
constexpr const char* kMalformedStandard = "Malformed Newick in ";

// "No root from --root <LIST> for <File>" (<File>:<k> for the k-th tree of a file of several).
constexpr const char* kNoRootBefore = "No root from --root ";
constexpr const char* kNoRootFor = " for ";

// Followed by the names of the leaves a tree was analysed without, joined by commas.
constexpr const char* kSetAside = "Set aside: ";

// "The file <path> is not opened"
constexpr const char* kFileNotOpenedBefore = "The file ";
constexpr const char* kFileNotOpenedAfter = " is not opened";
// "The file <path> is compressed with gzip, which this build of Tavrin cannot read (...)"
constexpr const char* kNoGzipAfter =
    " is compressed with gzip, which this build of Tavrin cannot read (it was built without "
    "zlib)";
// "The file <path> cannot be decompressed: <reason>"
constexpr const char* kDamagedGzipAfter = " cannot be decompressed: ";
// Followed by the system's reason.
constexpr const char* kCannotWriteOutput = "Couldnt write output: ";
// "Couldnt write picture: <path>: <reason>", for a picture of --draw or its folder.
constexpr const char* kCannotWritePicture = "Couldnt write picture: ";
// The reason when an entry of the picture's name is a special file (a pipe, a device).
constexpr const char* kNotARegularFile = "Not a regular file";
// Followed by the path of the tree file or group file being read.
constexpr const char* kOutOfMemory = "Out of memory while reading ";
// A step that failed otherwise: the file, then ": " and the reason when there is one.
constexpr const char* kFailedWhileReading = "Failed while reading ";

// Followed by the group file's path.
constexpr const char* kCannotOpenGroupFile = "Couldnt open file: ";
constexpr const char* kGroupFileTooLarge = "Group file closes into too many pairs: ";

// Warnings: what the run reads otherwise than its user most likely meant. Each begins with
// kWarning; values in quotes are escaped as in the option messages, so each stays one line.
constexpr const char* kWarning = "Warning: ";
// Group file warnings, each after "Warning: <groupFile>:<line>: ".
constexpr const char* kGroupFileByteOrderMark =
    "a UTF-8 byte order mark begins the file; it becomes part of the first group's name";
// "<N> tokens, not 2, the first '<token>'", or "1 token, not 2, '<token>'", then
// kGroupFileTokensPaired.
constexpr const char* kGroupFileOneToken = "1 token, not 2, ";
constexpr const char* kGroupFileTokens = " tokens, not 2, the first ";
constexpr const char* kGroupFileTokensPaired =
    ": tokens are paired across lines, so the pairs after this line are shifted";
// "'<X>' does not hold '<M>', a member of '<G>' given after this line (...)".
constexpr const char* kGroupFileDoesNotHold = " does not hold ";
constexpr const char* kGroupFileMemberOf = ", a member of ";
constexpr const char* kGroupFileLostMember =
    " given after this line (list the smaller groups first)";
// "Warning: <groupFile>: <N> more", after the warnings shown.
constexpr const char* kWarningsMore = " more";
// "Warning: <file>: every support reads 0; the comments hold <names>: use --support-attribute
// NAME", once for a file whose supports all read 0 while its nodes' comments hold values.
constexpr const char* kUnusedCommentsBefore = ": every support reads 0; the comments hold ";
constexpr const char* kUnusedCommentsAfter = ": use --support-attribute NAME";
// "Warning: <file>: attribute <NAME> holds no number (e.g. '<value>'); supports read 0", instead
// of the warning above when --support-attribute NAME was given and the attribute stood on some
// internal node with a value that holds no number.
constexpr const char* kNoNumberBefore = ": attribute ";
constexpr const char* kNoNumberExample = " holds no number (e.g. '";
constexpr const char* kNoNumberAfter = "'); supports read 0";
// "Warning: <N> of <M> trees have a three-way root (written unrooted): their answers depend on
// where the program put the root; see --root", at the end of a run with --table or
// --standard-newick and without --root.
constexpr const char* kThreeWayRootsOf = " of ";
constexpr const char* kThreeWayRoots =
    " trees have a three-way root (written unrooted): their answers depend on where the program "
    "put the root; see --root";
// "Warning: no leaf name contains '<sep>' but <n> of <m> contain '<c>': the whole name is each
// leaf's prefix; see --separator", at the end of a run whose leaves hold no separator in force
// while at least half of them hold one of the bytes of kLikelySeparators (the first such; '-',
// the default, for a run given another).
constexpr const char* kNoSeparatorBefore = "no leaf name contains '";
constexpr const char* kNoSeparatorBut = "' but ";
constexpr const char* kNoSeparatorOf = " of ";
constexpr const char* kNoSeparatorContain = " contain '";
constexpr const char* kNoSeparatorAfter =
    "': the whole name is each leaf's prefix; see --separator";
constexpr const char kLikelySeparators[] = {'_', '|', '.', ' ', '-'};
// "Warning: <N> group file member(s) match(es) no leaf: '<member>' (group <G>), ...", at the end
// of a run, naming at most kUnmatchedMembersShown, then ", and <K> more".
constexpr const char* kUnmatchedMemberOne = "1 group file member matches no leaf: ";
constexpr const char* kUnmatchedMembers = " group file members match no leaf: ";
constexpr const char* kUnmatchedMemberGroup = " (group ";
constexpr const char* kUnmatchedMembersMore = ", and ";
constexpr std::size_t kUnmatchedMembersShown = 10;
// "Warning: --root entry '<NAME>' matched no leaf in any tree", at the end of a run, once for
// each outgroup of the list that no leaf of any tree analysed passes.
constexpr const char* kRootEntryBefore = "--root entry '";
constexpr const char* kRootEntryUnmatched = "' matched no leaf in any tree";
// "Warning: the search prefix '<prefix>' begins with '-': a misspelled option? (...)"
constexpr const char* kPrefixLikeOptionBefore = "the search prefix '";
constexpr const char* kPrefixLikeOptionAfter =
    "' begins with '-': a misspelled option? (Tavrin --help lists them)";
// "Warning: no leaf of any tree passes the target test for '<prefix>'", then, with a group
// file, kWithGroupsOf and its path.
constexpr const char* kNoTargetLeaf = "no leaf of any tree passes the target test for '";
constexpr const char* kWithGroupsOf = " with the groups of ";
// Once per run, when pictures of other files were replaced (their recorded sources differ):
// "Warning: --draw <DIR>: <picture> held a picture of another file; replaced", or for N > 1
// "Warning: --draw <DIR>: <picture> and <N-1> more held pictures of other files; replaced".
constexpr const char* kReplacedPictureBefore = "--draw ";
constexpr const char* kReplacedPictureOne = " held a picture of another file; replaced";
constexpr const char* kReplacedPicturesAnd = " and ";
constexpr const char* kReplacedPicturesMore = " more held pictures of other files; replaced";
// "Warning: <File> holds several trees; read it with --standard-newick"
constexpr const char* kSeveralTrees = " holds several trees; read it with --standard-newick";

constexpr const char* kCladeNotFound = "CLADE NOT FOUND";
constexpr const char* kTargetIsRoot = "TARGET IS ROOT";
// Followed by the pattern and, in parentheses, what is wrong with it.
constexpr const char* kInvalidPattern = "Invalid regular expression for --E: ";

}  // namespace tavrin::messages

#endif  // TAVRIN_OUTPUT_MESSAGES_H
