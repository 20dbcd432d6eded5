// Texts the analysis writes on standard error.
#ifndef TAVRIN_ANALYSIS_MESSAGES_H
#define TAVRIN_ANALYSIS_MESSAGES_H

namespace tavrin::messages {

constexpr const char* kCannotOpenGroupFile = "Couldnt open file: ";
constexpr const char* kGroupFileTooLarge = "Group file closes into too many pairs: ";
constexpr const char* kCladeNotFound = "CLADE NOT FOUND";
constexpr const char* kTargetIsRoot = "TARGET IS ROOT";
constexpr const char* kInvalidPattern = "Invalid regular expression for --E: ";

}  // namespace tavrin::messages

#endif  // TAVRIN_ANALYSIS_MESSAGES_H
