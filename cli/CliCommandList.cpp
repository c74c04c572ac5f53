// The files of subcommands. A new file defines its Add… function and gets
// one line here: the tool's objects come from a static library, where a file
// nothing refers to would not be linked, so files cannot register themselves
// through static objects alone.
#include "cli/CliCommand.h"

void AddInfoCommands();
void AddOptionsCommands();
void AddTaxesCommand();
void AddDepartmentsCommands();
void AddLinesCommands();
void AddGoodsCommands();
void AddGoodsTransferCommands();
void AddProfilesCommands();
void AddJournalCommands();
void AddSearchCommand();
void AddServeCommand();

void AddCliCommands() {
    AddInfoCommands();
    AddOptionsCommands();
    AddTaxesCommand();
    AddDepartmentsCommands();
    AddLinesCommands();
    AddGoodsCommands();
    AddGoodsTransferCommands();
    AddProfilesCommands();
    AddJournalCommands();
    AddSearchCommand();
    AddServeCommand();
}
