// Scanning and parsing of expression texts, lowest precedence first: OR and XOR; AND; NOT;
// comparisons; "&"; "+" and "-"; "*", "/" and "%"; "^"; signs; operands. Every binary level is
// left-associative.
#include "data/evaluate/expression_parser.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "data/evaluate/names.h"

namespace kes::data {

namespace {

using files::ErrorCode;

enum class TokenKind : std::uint8_t { End, Bad, Integer, Real, Text, Picture, Name, Char };

struct Token {
  TokenKind kind = TokenKind::End;
  char ch = 0;            // Char tokens
  std::size_t begin = 0;  // offset of the token's first character
  std::int32_t integer = 0;
  double real = 0.0;
  std::string text;  // names, texts and pictures
  NameLookup name;   // names: what the scopes bind them to, looked up once
};

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

class Parser {
 public:
  Parser(const BindScopes& scopes, std::string_view text) : scopes_(scopes), text_(text) {
    advance();
  }

  ParseResult run(bool whole) {
    ParseResult result;
    NodePtr tree = expression();
    if (!failed_ && whole && current_.kind != TokenKind::End) {
      // Trailing text: an unknown name there is reported as such, as everywhere else.
      if (current_.kind == TokenKind::Name && current_.name.kind == NameLookup::Unknown) {
        unbound_ = current_.text;
        fail(ErrorCode::NoBind);
      } else {
        fail(ErrorCode::InvalidExpression);
      }
    }
    if (failed_) {
      result.error = error_;
      result.unbound_name = std::move(unbound_);
      return result;
    }
    result.tree = std::move(tree);
    result.consumed = current_.begin;
    return result;
  }

 private:
  // ---- Scanning.

  Token scan() {
    while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t'))
      ++position_;
    Token token;
    token.begin = position_;
    if (position_ >= text_.size()) return token;
    const char c = text_[position_];
    if (const std::size_t length = name_length(text_.substr(position_)); length > 0) {
      token.kind = TokenKind::Name;
      token.text = text_.substr(position_, length);
      token.name = look_up_name(scopes_, token.text);
      position_ += length;
      return token;
    }
    if (is_digit(c) || (c == '.' && position_ + 1 < text_.size() && is_digit(text_[position_ + 1])))
      return scan_number(token);
    if (c == '\'') return scan_text(token);
    if (c == '@') return scan_picture(token);
    static constexpr std::string_view kSingles = "+-*/%^&=<>~,:()[]";
    if (kSingles.find(c) != std::string_view::npos) {
      token.kind = TokenKind::Char;
      token.ch = c;
      ++position_;
      return token;
    }
    token.kind = TokenKind::Bad;
    return token;
  }

  Token scan_number(Token& token) {
    // The value is built digit by digit and divided by ten to the power (fraction digits minus
    // exponent).
    double value = 0.0;
    std::size_t at = position_;
    while (at < text_.size() && is_digit(text_[at]))
      value = value * 10.0 + (text_[at++] - '0');
    bool fraction = false;
    int scale = 0;
    if (at < text_.size() && text_[at] == '.') {
      if (at + 1 >= text_.size() || !is_digit(text_[at + 1])) {
        token.kind = TokenKind::Bad;  // a point must be followed by a digit
        return token;
      }
      fraction = true;
      ++at;
      while (at < text_.size() && is_digit(text_[at])) {
        value = value * 10.0 + (text_[at++] - '0');
        ++scale;
      }
      // Only a number with a point takes an exponent: 12e3 is 12 followed by the name e3.
      if (at < text_.size() && (text_[at] == 'e' || text_[at] == 'E')) {
        std::size_t digits = at + 1;
        bool negative = false;
        if (digits < text_.size() && (text_[digits] == '+' || text_[digits] == '-'))
          negative = text_[digits++] == '-';
        if (digits < text_.size() && is_digit(text_[digits])) {
          int exponent = 0;
          while (digits < text_.size() && is_digit(text_[digits])) {
            if (exponent < 100000) exponent = exponent * 10 + (text_[digits] - '0');
            ++digits;
          }
          scale += negative ? exponent : -exponent;
          at = digits;
        }
      }
    }
    if (at - position_ > kMaxNumberLength) {
      token.kind = TokenKind::Bad;
      return token;
    }
    position_ = at;
    if (scale > 0) value /= std::pow(10.0, scale);
    if (scale < 0) value *= std::pow(10.0, -scale);
    if (!std::isfinite(value)) {
      token.kind = TokenKind::Bad;
      return token;
    }
    // A whole number too large for 32 bits is kept as a real rather than wrapped.
    if (!fraction && value <= 2147483647.0) {
      token.kind = TokenKind::Integer;
      token.integer = static_cast<std::int32_t>(value);
    } else {
      token.kind = TokenKind::Real;
      token.real = value;
    }
    return token;
  }

  Token scan_text(Token& token) {
    std::size_t at = position_ + 1;
    for (;;) {
      if (at >= text_.size() || token.text.size() > kMaxLiteralLength) {
        token.kind = TokenKind::Bad;  // unterminated, or too long
        return token;
      }
      const char c = text_[at++];
      if (c == '\'') {
        if (at < text_.size() && text_[at] == '\'') {
          token.text += '\'';  // two quotes stand for one
          ++at;
          continue;
        }
        break;
      }
      token.text += c;
    }
    position_ = at;
    token.kind = TokenKind::Text;
    return token;
  }

  Token scan_picture(Token& token) {
    std::size_t at = position_ + 1;
    std::string picture = "@";
    if (at < text_.size()) {
      char kind = text_[at];
      if (kind == 'p' || kind == 'k' || kind == 'n' || kind == 'e')
        kind = static_cast<char>(kind - 'a' + 'A');
      picture += kind;
      ++at;
      const bool closed = kind == 'P' || kind == 'K';
      bool quoted = false;
      bool ended = false;
      while (at < text_.size() && !ended) {
        const char c = text_[at];
        if (c == '~') {
          quoted = !quoted;
        } else if (!quoted) {
          if (closed && (c == kind || c == kind - 'A' + 'a')) {
            ended = true;
          } else if (!closed && (c == ' ' || c == ',' || c == ')')) {
            break;
          } else if (!closed && c == 'B') {
            ended = true;
          }
        }
        picture += c;
        ++at;
      }
      if (closed && !ended) picture.clear();  // no closing letter
    }
    if (picture.size() < 2 || picture.size() > kMaxPictureLength) {
      token.kind = TokenKind::Bad;
      return token;
    }
    position_ = at;
    token.kind = TokenKind::Picture;
    token.text = std::move(picture);
    return token;
  }

  void advance() {
    if (has_lookahead_) {
      current_ = std::move(lookahead_);
      has_lookahead_ = false;
      return;
    }
    current_ = scan();
  }

  const Token& peek() {
    if (!has_lookahead_) {
      lookahead_ = scan();
      has_lookahead_ = true;
    }
    return lookahead_;
  }

  bool at_char(char c) const noexcept {
    return current_.kind == TokenKind::Char && current_.ch == c;
  }
  static bool is_char(const Token& token, char c) noexcept {
    return token.kind == TokenKind::Char && token.ch == c;
  }
  // The keyword operator the current token names, if any.
  bool at_keyword(Operator op) const noexcept {
    return current_.kind == TokenKind::Name && current_.name.kind == NameLookup::Keyword &&
           current_.name.op == op;
  }

  NodePtr fail(ErrorCode code) {
    if (!failed_) {
      failed_ = true;
      error_ = code;
    }
    return nullptr;
  }

  // Sets the node's measures and refuses trees past the limits.
  NodePtr finish(NodePtr node) {
    node->measure();
    if (node->height() > kMaxTreeHeight || node->stack_need() > kMaxStackNeed)
      return fail(ErrorCode::InvalidExpression);
    node->fold();
    return node;
  }

  NodePtr binary(Operator op, NodePtr left, NodePtr right) {
    if (failed_) return nullptr;
    return finish(std::make_unique<BinaryNode>(op, std::move(left), std::move(right)));
  }

  // ---- Grammar.

  NodePtr expression() {
    NodePtr left = conjunction();
    while (!failed_) {
      Operator op;
      if (at_keyword(Operator::Or)) {
        op = Operator::Or;
      } else if (at_keyword(Operator::Xor)) {
        op = Operator::Xor;
      } else {
        break;
      }
      advance();
      NodePtr right = conjunction();
      left = binary(op, std::move(left), std::move(right));
    }
    if (failed_) return nullptr;
    // Only "," and ":" (and the closing brackets) may end an expression among operators.
    if (at_keyword(Operator::Not) || at_keyword(Operator::And))
      return fail(ErrorCode::InvalidExpression);
    if (current_.kind == TokenKind::Char) {
      static constexpr std::string_view kOperators = "+-*/%^&=<>~";
      if (kOperators.find(current_.ch) != std::string_view::npos)
        return fail(ErrorCode::InvalidExpression);
    }
    if (current_.kind == TokenKind::Bad) return fail(ErrorCode::InvalidExpression);
    return left;
  }

  NodePtr conjunction() {
    NodePtr left = negation();
    while (!failed_ && at_keyword(Operator::And)) {
      advance();
      NodePtr right = negation();
      left = binary(Operator::And, std::move(left), std::move(right));
    }
    return failed_ ? nullptr : std::move(left);
  }

  NodePtr negation() {
    int count = 0;
    while (at_keyword(Operator::Not) || at_char('~')) {
      ++count;
      advance();
    }
    NodePtr operand = comparison();
    if (failed_) return nullptr;
    if (count % 2 == 0) return operand;
    return finish(std::make_unique<UnaryNode>(Operator::Not, std::move(operand)));
  }

  // The relation at the current token, consuming its tokens; false when there is none.
  bool relation(Operator& op) {
    // Look past the current token only when it can start a relation.
    const bool starts =
        at_char('=') || at_char('<') || at_char('>') || at_char('~') || at_keyword(Operator::Not);
    if (!starts) return false;
    const Token& next = peek();
    const auto take = [&](Operator found, bool pair) {
      op = found;
      advance();
      if (pair) advance();
      return true;
    };
    if (at_char('=')) {
      if (is_char(next, '<')) return take(Operator::LessEqual, true);
      if (is_char(next, '>')) return take(Operator::GreaterEqual, true);
      return take(Operator::Equal, false);
    }
    if (at_char('<')) {
      if (is_char(next, '>')) return take(Operator::NotEqual, true);
      if (is_char(next, '=')) return take(Operator::LessEqual, true);
      return take(Operator::Less, false);
    }
    if (at_char('>')) {
      if (is_char(next, '=')) return take(Operator::GreaterEqual, true);
      return take(Operator::Greater, false);
    }
    if (at_char('~') || at_keyword(Operator::Not)) {
      if (is_char(next, '=')) return take(Operator::NotEqual, true);
      if (at_char('~') && is_char(next, '<')) return take(Operator::GreaterEqual, true);
      if (at_char('~') && is_char(next, '>')) return take(Operator::LessEqual, true);
    }
    return false;
  }

  NodePtr comparison() {
    NodePtr left = concatenation();
    Operator op;
    while (!failed_ && relation(op)) {
      NodePtr right = concatenation();
      left = binary(op, std::move(left), std::move(right));
    }
    return failed_ ? nullptr : std::move(left);
  }

  NodePtr concatenation() {
    NodePtr left = sum();
    while (!failed_ && at_char('&')) {
      advance();
      NodePtr right = sum();
      left = binary(Operator::Concat, std::move(left), std::move(right));
    }
    return failed_ ? nullptr : std::move(left);
  }

  NodePtr sum() {
    NodePtr left = term();
    while (!failed_ && (at_char('+') || at_char('-'))) {
      const Operator op = at_char('+') ? Operator::Add : Operator::Subtract;
      advance();
      NodePtr right = term();
      left = binary(op, std::move(left), std::move(right));
    }
    return failed_ ? nullptr : std::move(left);
  }

  NodePtr term() {
    NodePtr left = power();
    while (!failed_ && (at_char('*') || at_char('/') || at_char('%'))) {
      const Operator op = at_char('*')   ? Operator::Multiply
                          : at_char('/') ? Operator::Divide
                                         : Operator::Modulo;
      advance();
      NodePtr right = power();
      left = binary(op, std::move(left), std::move(right));
    }
    return failed_ ? nullptr : std::move(left);
  }

  NodePtr power() {
    NodePtr left = signed_operand();
    while (!failed_ && at_char('^')) {
      advance();
      NodePtr right = signed_operand();
      left = binary(Operator::Power, std::move(left), std::move(right));
    }
    return failed_ ? nullptr : std::move(left);
  }

  NodePtr signed_operand() {
    bool negative = false;
    while (at_char('+') || at_char('-')) {
      if (at_char('-')) negative = !negative;
      advance();
    }
    NodePtr operand = primary();
    if (failed_) return nullptr;
    if (!negative) return operand;
    return finish(std::make_unique<UnaryNode>(Operator::Negate, std::move(operand)));
  }

  // Runs `parse` one nesting level deeper, refusing past kMaxNesting.
  template <typename Parse>
  NodePtr nested(Parse parse) {
    if (++nesting_ > kMaxNesting) return fail(ErrorCode::InvalidExpression);
    NodePtr node = parse();
    --nesting_;
    return node;
  }

  NodePtr expect_close(NodePtr node, char close) {
    if (failed_) return nullptr;
    if (!at_char(close)) return fail(ErrorCode::InvalidExpression);
    advance();
    return node;
  }

  NodePtr primary() {
    switch (current_.kind) {
      case TokenKind::Integer: {
        auto node = std::make_unique<IntegerConstant>(current_.integer);
        advance();
        return node;
      }
      case TokenKind::Real: {
        auto node = std::make_unique<RealConstant>(current_.real);
        advance();
        return node;
      }
      case TokenKind::Text:
      case TokenKind::Picture: {
        auto node = std::make_unique<TextConstant>(std::move(current_.text),
                                                   current_.kind == TokenKind::Picture);
        advance();
        return node;
      }
      case TokenKind::Name: return named_operand();
      default: break;
    }
    if (at_char('(')) {
      advance();
      return nested([&] { return expect_close(expression(), ')'); });
    }
    return fail(ErrorCode::InvalidExpression);
  }

  NodePtr named_operand() {
    const NameLookup found = current_.name;
    switch (found.kind) {
      case NameLookup::Unknown: unbound_ = current_.text; return fail(ErrorCode::NoBind);
      case NameLookup::Keyword: return fail(ErrorCode::InvalidExpression);
      case NameLookup::Variable: {
        std::unique_ptr<BoundValue> value = found.symbol->value->clone();
        if (value == nullptr) return fail(ErrorCode::InvalidExpression);  // out of memory
        auto variable = std::make_unique<VariableNode>(current_.text, std::move(value));
        advance();
        if (!at_char('[')) return variable;
        advance();
        return nested([&] { return subscripts(std::move(variable)); });
      }
      case NameLookup::Procedure:
        return call(current_.text, Builtin::Procedure, found.symbol->value_class,
                    found.symbol->procedure, found.symbol->argument_limit);
      case NameLookup::Function:
        return call(current_.text, found.builtin->function, found.builtin->value_class, nullptr,
                    found.builtin->argument_limit);
    }
    return fail(ErrorCode::InvalidExpression);
  }

  // After "name[": subscripts separated by ",", then an optional ":" and the slice's end.
  NodePtr subscripts(std::unique_ptr<VariableNode> variable) {
    std::vector<NodePtr> indexes;
    for (;;) {
      NodePtr index = expression();
      if (failed_) return nullptr;
      indexes.push_back(std::move(index));
      if (!at_char(',')) break;
      advance();
    }
    NodePtr end;
    if (at_char(':')) {
      advance();
      end = expression();
      if (failed_) return nullptr;
    }
    if (!at_char(']')) return fail(ErrorCode::InvalidExpression);
    advance();
    if (end == nullptr) return element(std::move(variable), std::move(indexes));
    // The last expression before ":" starts the slice; any before it are subscripts.
    NodePtr start = std::move(indexes.back());
    indexes.pop_back();
    NodePtr base = indexes.empty() ? NodePtr(std::move(variable))
                                   : element(std::move(variable), std::move(indexes));
    if (failed_) return nullptr;
    return finish(std::make_unique<SliceNode>(std::move(base), std::move(start), std::move(end)));
  }

  NodePtr element(std::unique_ptr<VariableNode> variable, std::vector<NodePtr> indexes) {
    auto node = std::make_unique<SubscriptNode>(std::move(variable), std::move(indexes));
    if (!node->well_formed()) return fail(ErrorCode::InvalidExpression);
    return finish(std::move(node));
  }

  NodePtr call(const std::string& name, Builtin function, ValueClass value_class,
               void (*procedure)(), int limit) {
    std::string written = name;
    advance();
    // A function always needs its parentheses.
    if (!at_char('(')) return fail(ErrorCode::InvalidExpression);
    if (function == Builtin::Sql) return sql_text();
    advance();
    return nested([&]() -> NodePtr {
      std::vector<NodePtr> arguments;
      if (!at_char(')')) {
        for (;;) {
          NodePtr argument = expression();
          if (failed_) return nullptr;
          arguments.push_back(std::move(argument));
          if (static_cast<int>(arguments.size()) > limit) return fail(ErrorCode::InvalidExpression);
          if (!at_char(',')) break;
          advance();
        }
      }
      if (!at_char(')')) return fail(ErrorCode::InvalidExpression);
      advance();
      return finish(std::make_unique<CallNode>(std::move(written), function, value_class, procedure,
                                               limit, std::move(arguments)));
    });
  }

  // SQL(...): the raw text up to the matching closing parenthesis; parentheses nest and quoted
  // text is not examined.
  NodePtr sql_text() {
    // The current token is the opening parenthesis and nothing has been scanned past it.
    std::size_t at = current_.begin + 1;
    int depth = 1;
    bool quoted = false;
    const std::size_t start = at;
    for (; at < text_.size(); ++at) {
      const char c = text_[at];
      if (c == '\'') quoted = !quoted;
      if (quoted) continue;
      if (c == '(') ++depth;
      if (c == ')' && --depth == 0) break;
    }
    if (at >= text_.size() || at - start > kMaxLiteralLength)
      return fail(ErrorCode::InvalidExpression);
    auto node = std::make_unique<SqlTextNode>(std::string(text_.substr(start, at - start)));
    position_ = at + 1;
    has_lookahead_ = false;
    advance();
    return node;
  }

  const BindScopes& scopes_;
  std::string_view text_;
  std::size_t position_ = 0;
  Token current_;
  Token lookahead_;
  bool has_lookahead_ = false;
  bool failed_ = false;
  ErrorCode error_ = ErrorCode::None;
  std::string unbound_;
  int nesting_ = 0;
};

}  // namespace

ParseResult parse_expression(const BindScopes& scopes, std::string_view text, bool whole) {
  Parser parser(scopes, text);
  return parser.run(whole);
}

}  // namespace kes::data
