#pragma once
// The custom-scripts folder and its index "Scripts.xml", which lists the
// definition files of the user's custom traces in display order:
//
//   <Scripts>
//     <Script name="<64 hex digits>.xml" id="<trace id>"/>
//     ...
//   </Scripts>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "custom_traces/custom_trace_context.h"

namespace ORV::Traces {

using CustomTraceList = std::vector<std::shared_ptr<CustomTracesWithLuaContext>>;

inline constexpr const char* kCustomScriptsIndexName = "Scripts.xml";
inline constexpr std::size_t kMaxIndexFileBytes = std::size_t{4} << 20;
inline constexpr std::size_t kMaxIndexEntries = 1000;

// The folder that holds the definition files and the index.
std::string CustomScriptsFolder();

// Reads "Scripts.xml" of `folder` (the folder is created when missing,
// unless `createFolder` is false) and
// appends one context per listed definition, in index order, to `list`; each
// is built from its definition file whether or not its code compiles, and a
// listed file that is missing or unreadable gives a context with an empty
// definition. Entries whose name is not a plain file name, and entries past
// the first kMaxIndexEntries, are left out and reported to the event log. A
// missing or unreadable index leaves the list as it was. Returns `list`.
CustomTraceList& LoadCustomScriptsIndex(const std::string& folder, CustomTraceList& list, bool createFolder = true);
CustomTraceList LoadCustomScriptsIndex(const std::string& folder);

// What an index entry carries besides the file name.
enum class IndexIds { Written, Left };

// The text of "Scripts.xml" for `list`, tab-indented: one "Script" per
// definition that has a file, in list order, whether its code compiles or
// not, with the file's name and, when `ids` says so, the trace's id. A new
// definition that was never saved has no file and is left out.
std::string FormatCustomScriptsIndex(const CustomTraceList& list, IndexIds ids);

// Replaces "Scripts.xml" of `folder` with the index of `list` in one step.
bool WriteCustomScriptsIndex(const std::string& folder, const CustomTraceList& list, IndexIds ids);

}  // namespace ORV::Traces
