#include "fleet/empty_selection.h"

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "devlist/list_view.h"

namespace fleet {
namespace {

EmptySelection::Why whyAlone(std::string_view option) {
    using Why = EmptySelection::Why;
    if (option == "--group") return Why::NoGroup;
    if (option == "--no") return Why::NoNumber;
    if (option == "--failed") return Why::NoneFailed;
    if (option == "--match") return Why::NoMatch;
    return Why::NoneChecked;
}

}  // namespace

EmptySelection WhyNothingSelected(const Selection& selection, const devlist::LineStore& store) {
    EmptySelection out;
    const devlist::ListRender shown = devlist::RenderList("", store);
    out.records = shown.entries.size();
    for (const auto& e : shown.entries) {
        const std::string& line = store[static_cast<size_t>(e.line)];
        if (devlist::IsChecked(devlist::FieldGet(devlist::kFlags, line))) ++out.checked;
    }
    if (out.records == 0) return out;
    if (selection.given.empty()) {
        out.why = EmptySelection::Why::NoneChecked;
        out.option = "--checked";
        return out;
    }
    // Each option as given, tried alone: the first that matches nothing is the one to name.
    for (const std::string& given : selection.given) {
        const size_t blank = given.find(' ');
        const std::string option = given.substr(0, blank);
        const std::string value = blank == std::string::npos ? "" : given.substr(blank + 1);
        Selection alone;
        if (!AddSelectionOption(alone, option, value).empty()) continue;
        if (!Select(alone, store).empty()) continue;
        out.why = whyAlone(option);
        out.option = given;
        return out;
    }
    out.why = EmptySelection::Why::NoneInCommon;
    out.option = SelectionText(selection);
    return out;
}

}  // namespace fleet
