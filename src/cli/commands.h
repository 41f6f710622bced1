#pragma once
// The commands of px316t-cli, each with the arguments main() parsed for it;
// each returns the program's exit status.
#include "cli/args.h"

#include <QStringList>

namespace px316t::cli {

int cmdPorts(const Args& a);                          // ports_command.cpp
int cmdRead(const Args& a);                           // read_write_commands.cpp
int cmdWriteOrVerify(const Args& a, bool write);      // read_write_commands.cpp
int cmdProduce(const Args& a);                        // produce_command.cpp
int cmdHistory(const Args& a);                        // history_command.cpp
int cmdShow(const Args& a);                           // edit_commands.cpp
int cmdSet(const Args& a);
int cmdDiff(const Args& a);
int cmdNew(const Args& a);
int cmdLabel(const Args& a);                          // label_command.cpp
// The batch command parses its own arguments (batch_commands.cpp).
int cmdBatch(const QStringList& args);

} // namespace px316t::cli
