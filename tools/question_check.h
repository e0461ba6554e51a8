// question_check.h — whether a table serves as a question table of the testing
// program (His1.dbf, His2.dbf).
//
// The testing program opens the table shared, walks it from the first record to
// the one whose number is the record count, and reads the fields Input (the
// question), A (the right answer) and B to E (four wrong answers) as text: the
// bytes as they are, shown in the ANSI code page, trailing blanks removed. It
// shows the five answers in a freshly drawn order. A table serves when
//   - the six fields exist (names in any letter case) as C or M fields;
//   - it holds at least one record, and no record is marked deleted (the
//     program would skip it and never reach the last record number);
//   - no question and no answer is empty (blanks only count as empty);
//   - no two answers of a question are the same once leading and trailing
//     blanks are removed and letter case is ignored: a student could not tell
//     them apart;
//   - its language-driver byte, where it names a code page, names the ANSI one
//     (a table marked 866 would be shown as 1251 without translation).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velorin {
class VRO_dBaseFld;
}

namespace velorin::tools {

// The fields of a question, in the order the program reads them.
inline constexpr const char* kQuestionFields[] = {"Input", "A", "B", "C", "D", "E"};

struct QuestionProblem {
  int32_t record = 0;   // 0: the table as a whole
  std::string message;  // UTF-8, without the record number
};

// Every problem of the table, table-wide ones first, then by record. The table's
// position and deletion visibility are left changed. A memo that cannot be read
// is a problem of its record; other engine errors pass through.
std::vector<QuestionProblem> CheckQuestionTable(VRO_dBaseFld& table, int ansiCodePage);

}  // namespace velorin::tools
