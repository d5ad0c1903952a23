#pragma once
// The answers to a "save changes?" question: save first, go on without
// saving, or leave everything as it was.
namespace ORV {

enum class SaveAnswer { Yes, No, Cancel };

}  // namespace ORV
