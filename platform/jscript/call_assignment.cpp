#include "platform/jscript/call_assignment.h"

#include <map>
#include <unordered_set>

namespace jscript {
namespace {

constexpr std::u16string_view kAssignmentOperators[] = {u"=",  u"+=", u"-=",  u"*=",  u"/=",   u"%=", u"<<=",
                                                        u">>=", u">>>=", u"&=", u"|=", u"^=", u"**="};

// One change at a token: text put before it, and optionally the token itself replaced.
struct Edit {
  std::u16string before;
  bool replace = false;
  std::u16string replacement;
};

class Rewriter {
 public:
  Rewriter(std::u16string_view text, const std::vector<Token>& tokens) : text_(text), tokens_(tokens) {}

  std::u16string Rewrite() {
    for (size_t i = 1; i < tokens_.size(); ++i) {
      if (IsAssignmentAfterCall(i)) RewriteCall(i - 1);
    }
    if (edits_.empty()) return std::u16string(text_);
    return Apply();
  }

 private:
  std::u16string_view Text(size_t index) const { return tokens_[index].TextIn(text_); }
  bool Is(size_t index, std::u16string_view word) const {
    return tokens_[index].kind == TokenKind::Punctuator && Text(index) == word;
  }

  // Whether the token can end an operand: a name, `this`, or a closing bracket of an
  // expression.
  bool EndsOperand(size_t index) const {
    const Token& token = tokens_[index];
    if (token.kind == TokenKind::Name) return true;
    if (token.kind == TokenKind::Keyword) return Text(index) == u"this";
    if (token.kind != TokenKind::Punctuator || token.partner == Token::kNoPartner) return false;
    return (Text(index) == u")" && !token.statement_paren) || Text(index) == u"]";
  }

  // `... ) =` (or a compound assignment, or a postfix ++/-- on the same line) where the
  // parentheses are a call's.
  bool IsAssignmentAfterCall(size_t operator_index) const {
    size_t close = operator_index - 1;
    if (!Is(close, u")") || tokens_[close].statement_paren || tokens_[close].partner == Token::kNoPartner) return false;
    size_t open = tokens_[close].partner;
    if (open == 0 || !EndsOperand(open - 1)) return false;
    const Token& op = tokens_[operator_index];
    if (op.kind != TokenKind::Punctuator) return false;
    std::u16string_view word = Text(operator_index);
    if ((word == u"++" || word == u"--") && !op.newline_before) return true;
    for (std::u16string_view assignment : kAssignmentOperators) {
      if (word == assignment) return true;
    }
    return false;
  }

  // The first token of the operand that ends at `last` (a chain of names, member accesses,
  // indexing and calls); npos when there is none.
  size_t OperandStart(size_t last) const {
    size_t i = last;
    while (true) {
      if (tokens_[i].kind == TokenKind::Name || Text(i) == u"this") {
        if (i >= 2 && Is(i - 1, u".") && EndsOperand(i - 2)) {
          i -= 2;
          continue;
        }
        return i;
      }
      if (!EndsOperand(i)) return Token::kNoPartner;
      size_t opener = tokens_[i].partner;
      if (opener == 0 || !EndsOperand(opener - 1)) return opener;  // a parenthesized or array operand
      i = opener - 1;
    }
  }

  void RewriteCall(size_t close) {
    size_t open = tokens_[close].partner;
    size_t callee_end = open - 1;
    size_t start = OperandStart(callee_end);
    if (start == Token::kNoPartner) return;
    bool has_arguments = open + 1 < close;
    std::u16string_view separator = has_arguments ? u", " : u"";
    if (callee_end >= 2 && tokens_[callee_end].kind == TokenKind::Name && Is(callee_end - 1, u".") &&
        callee_end - 1 > start) {
      // o.m(args): the dot, the name and the '(' become `, "m", `.
      AddBefore(start, u"__jscriptPutMember(");
      Replace(callee_end - 1, u", \"");
      Replace(callee_end, std::u16string(Text(callee_end)) + u"\"");
      Replace(open, std::u16string(separator));
    } else if (Is(callee_end, u"]") && tokens_[callee_end].partner > start) {
      // o[k](args): '[' becomes ", " and "](" becomes the separator.
      AddBefore(start, u"__jscriptPutMember(");
      Replace(tokens_[callee_end].partner, u", ");
      Replace(callee_end, u"");
      Replace(open, std::u16string(separator));
    } else {
      AddBefore(start, u"__jscriptPutDefault(");
      Replace(open, std::u16string(separator));
    }
    Replace(close, u").value");
  }

  void AddBefore(size_t index, std::u16string_view text) { edits_[index].before.insert(0, text); }
  void Replace(size_t index, std::u16string text) {
    Edit& edit = edits_[index];
    edit.replace = true;
    edit.replacement = std::move(text);
  }

  std::u16string Apply() const {
    std::u16string out;
    out.reserve(text_.size() + edits_.size() * 24);
    size_t copied = 0;
    for (const auto& [index, edit] : edits_) {
      const Token& token = tokens_[index];
      out.append(text_.substr(copied, token.begin - copied));
      out.append(edit.before);
      if (edit.replace) {
        out.append(edit.replacement);
        copied = token.end;
      } else {
        copied = token.begin;
      }
    }
    out.append(text_.substr(copied));
    return out;
  }

  std::u16string_view text_;
  const std::vector<Token>& tokens_;
  std::map<size_t, Edit> edits_;
};

}  // namespace

std::u16string RewriteCallAssignments(std::u16string_view text, const std::vector<Token>& tokens) {
  return Rewriter(text, tokens).Rewrite();
}

std::vector<std::u16string> FreeNames(std::u16string_view text, const std::vector<Token>& tokens, size_t limit) {
  std::vector<std::u16string> names;
  std::unordered_set<std::u16string_view> seen;
  for (size_t i = 0; i < tokens.size() && names.size() < limit; ++i) {
    if (tokens[i].kind != TokenKind::Name) continue;
    if (i > 0 && tokens[i - 1].kind == TokenKind::Punctuator && tokens[i - 1].TextIn(text) == u".") continue;
    std::u16string_view name = tokens[i].TextIn(text);
    if (name.find(u'\\') != std::u16string_view::npos) continue;  // escaped names: left to the compiler
    if (seen.insert(name).second) names.emplace_back(name);
  }
  return names;
}

}  // namespace jscript
