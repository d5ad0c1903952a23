#pragma once
// The script editor of the custom-trace dialog: a Lua editor whose 21
// keywords are blue and whose comments ("--" to the end of the line, and
// "--[[" to "]]" across lines) are grey; everything else is plain text. Line
// numbers in a margin 45 pixels wide at 96 DPI; no folding.
#include <Qsci/qsciscintilla.h>

class QsciLexerLua;

namespace ORV::Traces {

inline constexpr int kScriptEditorId = 1092;

class CustomScriptEditor : public QsciScintilla {
 public:
  static constexpr QRgb kKeywordColor = 0x0000FF;
  static constexpr QRgb kCommentColor = 0x7F7F7F;

  explicit CustomScriptEditor(QWidget* parent = nullptr);

  // Inserts `text` at the caret (replacing the selection) and takes the focus.
  void InsertAtCaret(const QString& text);
  // The colour the text at `position` (a byte offset) is drawn in, once the
  // whole text is coloured.
  QColor ColorAt(int position);
  // Byte offset of the first `text` from `from` on; -1 when there is none.
  int Find(const QString& text, int from = 0);

 private:
  QsciLexerLua* lexer_ = nullptr;
};

}  // namespace ORV::Traces
