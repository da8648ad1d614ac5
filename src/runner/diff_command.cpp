#include "runner/diff_command.h"

#include "devlist/edit_panel.h"
#include "devlist/fields.h"
#include "fleet/dump_diff.h"
#include "fleet/list_writer.h"
#include "runner/messages.h"
#include "runner/run_files.h"
#include "runner/run_texts.h"
#include "session/file_names.h"
#include "text/cp932.h"

namespace runner {

int DiffCommand::body() {
    const CliOptions& o = m_options;
    const fleet::LoadedList* list = &*m_list;
    const auto index = static_cast<size_t>(o.recordNumber - 1);
    if (index >= list->records.size()) {
        complain(Fill(Tr("the list has no record %1 (it holds %2)"),
                      {std::to_string(o.recordNumber), std::to_string(list->records.size())}));
        return kExitUsage;
    }
    // The name the record's session wrote its files under (session::SaveNames), and only dumps
    // that name this record.
    devlist::EditPanel panel;
    devlist::EditData(panel, static_cast<int>(index), list->records);
    const std::string saveName =
        session::SaveNames(list->records).of(list->records[index], o.recordNumber);
    fleet::SendDumps dumps = fleet::ReadSendDumps(m_files.workFolder, saveName, &panel.rec);
    const std::string no = "No." + devlist::ZeroPad(o.recordNumber, 3) + ": ";
    if (dumps.problem) {
        complain(no + DumpProblemShown(dumps.problem));
        return kExitFiles;
    }
    if (dumps.notice) complain(no + DumpProblemShown(dumps.notice));
    for (const std::string& line : fleet::DiffLines(fleet::CompareDumps(dumps.before, dumps.after)))
        terminal().print(Shown(line));
    return terminal().outputFailed() ? kExitFiles : kExitOk;
}

}  // namespace runner
