#include "custom_traces/ui/custom_script_editor.h"

#include <Qsci/qscilexerlua.h>

#include <QFontDatabase>

#include "platform/ui/dpi.h"

namespace ORV::Traces {
namespace {

// The Lua lexer with the language's keywords as its only word list: names of
// the libraries are not coloured.
class LuaKeywordLexer : public QsciLexerLua {
 public:
  using QsciLexerLua::QsciLexerLua;
  const char* keywords(int set) const override {
    if (set == 1) {
      return "and break do else elseif end false for function if in local nil not or repeat return then true "
             "until while";
    }
    return nullptr;
  }
};

}  // namespace

CustomScriptEditor::CustomScriptEditor(QWidget* parent) : QsciScintilla(parent) {
  setObjectName(QStringLiteral("scriptEditor"));
  // The editor writes in the desktop's general font, scaled like the rest
  // of the program's sizes.
  const QFont font = UI::ScaleFontToDpi(QFontDatabase::systemFont(QFontDatabase::GeneralFont));

  lexer_ = new LuaKeywordLexer(this);
  lexer_->setFoldCompact(false);
  lexer_->setDefaultPaper(QColor(Qt::white));
  lexer_->setDefaultColor(QColor(Qt::black));
  lexer_->setDefaultFont(font);
  for (int style = 0; style <= QsciScintillaBase::STYLE_MAX; ++style) {
    if (lexer_->description(style).isEmpty()) continue;
    lexer_->setColor(QColor(Qt::black), style);
    lexer_->setPaper(QColor(Qt::white), style);
    lexer_->setFont(font, style);
    lexer_->setEolFill(false, style);
  }
  lexer_->setColor(QColor::fromRgb(kKeywordColor), QsciLexerLua::Keyword);
  lexer_->setColor(QColor::fromRgb(kCommentColor), QsciLexerLua::Comment);
  lexer_->setColor(QColor::fromRgb(kCommentColor), QsciLexerLua::LineComment);
  setLexer(lexer_);

  setUtf8(true);
  setFolding(QsciScintilla::NoFoldStyle);
  setMarginType(0, QsciScintilla::NumberMargin);
  setMarginWidth(0, ScaleByDpi(45, QueryDpi()));
  setMarginLineNumbers(0, true);
  setMarginWidth(1, 0);
  setMarginWidth(2, 0);
  setMarginsFont(font);
  setTabWidth(4);
  setAutoIndent(true);
  setWrapMode(QsciScintilla::WrapNone);
  // The horizontal scroll bar follows the longest line shown, so a short
  // script has none.
  SendScintilla(SCI_SETSCROLLWIDTH, 1L);
  SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1L);
}

void CustomScriptEditor::InsertAtCaret(const QString& text) {
  if (hasSelectedText()) removeSelectedText();
  insert(text);
  const long position = SendScintilla(SCI_GETCURRENTPOS) + text.toUtf8().size();
  SendScintilla(SCI_GOTOPOS, position);
  setFocus(Qt::OtherFocusReason);
}

QColor CustomScriptEditor::ColorAt(int position) {
  SendScintilla(SCI_COLOURISE, 0L, -1L);
  const int style = static_cast<int>(SendScintilla(SCI_GETSTYLEAT, static_cast<unsigned long>(position)));
  return lexer_->color(style);
}

int CustomScriptEditor::Find(const QString& text, int from) {
  const QByteArray all = this->text().toUtf8();
  return static_cast<int>(all.indexOf(text.toUtf8(), from));
}

}  // namespace ORV::Traces
