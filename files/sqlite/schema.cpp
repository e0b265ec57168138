// Writing the SQL texts of a FILE's table.
#include "files/sqlite/schema.h"

#include "files/sqlite/collations.h"

namespace kes::sqlite {
namespace {

// A term as an expression that compares by the key's collation.
std::string term_sql(const RecordLayout& layout, const KeyTerm& term) {
  std::string out = quote(layout.columns[term.column].name);
  if (term.collation != nullptr) out.append(" COLLATE ").append(term.collation);
  return out;
}

// The condition under which a record is in an OPT key: one component not blank or zero.
std::string only_sql(const RecordLayout& layout, const std::vector<KeyTerm>& terms) {
  std::string out = "(";
  for (std::size_t i = 0; i < terms.size(); ++i) {
    const Column& column = layout.columns[terms[i].column];
    const std::string name = quote(column.name);
    if (i > 0) out += " OR ";
    if (is_text(column.codec)) {
      out += "rtrim(" + name + ") <> ''";
    } else if (column.codec == Codec::Decimal || column.codec == Codec::Pdecimal) {
      out += name + " COLLATE " + kCollationDecimal + " <> '0'";
    } else {
      out += name + " <> 0";
    }
  }
  return out + ")";
}

// The terms of an order: the key's, then the position.
struct OrderTerm {
  std::string expression;
  bool ascending;
};

std::vector<OrderTerm> order_terms(const RecordLayout& layout, const KeyPlan* plan, bool backward) {
  std::vector<OrderTerm> out;
  if (plan != nullptr) {
    for (const KeyTerm& term : plan->terms)
      out.push_back({term_sql(layout, term), term.descending == backward});
  }
  out.push_back({kPositionColumn, !backward});
  return out;
}

// Records at or after (inclusive) or strictly after the parameters ?1.. in the order of `terms`
// (lexicographic), led by a range on the first term so that the index search starts there.
std::string from_sql(const std::vector<OrderTerm>& terms, bool inclusive) {
  const auto op = [](const OrderTerm& t, bool equal) {
    return std::string(t.ascending ? (equal ? " >= " : " > ") : (equal ? " <= " : " < "));
  };
  const auto parameter = [](std::size_t i) { return "?" + std::to_string(i + 1); };
  std::string nested;
  for (std::size_t i = terms.size(); i-- > 0;) {
    const OrderTerm& t = terms[i];
    if (i + 1 == terms.size()) {
      nested = t.expression + op(t, inclusive) + parameter(i);
    } else {
      nested = "(" + t.expression + op(t, false) + parameter(i) + " OR (" + t.expression + " = " +
               parameter(i) + " AND " + nested + "))";
    }
  }
  if (terms.size() == 1) return nested;
  return terms[0].expression + op(terms[0], true) + parameter(0) + " AND " + nested;
}

std::string order_by_sql(const std::vector<OrderTerm>& terms) {
  std::string out = " ORDER BY ";
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (i > 0) out += ", ";
    out += terms[i].expression + (terms[i].ascending ? " ASC" : " DESC");
  }
  return out;
}

std::string from_table(std::string_view table, const KeyPlan* plan) {
  std::string out = " FROM " + quote(table);
  if (plan != nullptr) out += " INDEXED BY " + plan->index;
  return out;
}

}  // namespace

std::string quote(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out.push_back(c);
    if (c == '"') out.push_back('"');
  }
  return out + "\"";
}

std::int32_t plan_key(const Drv_KCB& key, std::size_t number, std::string_view table,
                      const RecordLayout& layout, KeyPlan& plan) {
  constexpr std::int32_t kInvalidDeclaration = 47;
  plan = KeyPlan{};
  const std::string label =
      key.label != nullptr && key.label[0] != 0 ? key.label : "K" + std::to_string(number + 1);
  plan.name = std::string(table) + "$" + label;
  plan.index = quote(plan.name);
  plan.unique = (key.flags & DRV_KEY_DUP) == 0;
  if (key.component_count == 0 || key.components == nullptr) return kInvalidDeclaration;
  for (std::uint8_t i = 0; i < key.component_count; ++i) {
    const Drv_KeyComponent& component = key.components[i];
    if (component.field == 0 || component.field >= layout.field_column.size())
      return kInvalidDeclaration;
    const std::int32_t column = layout.field_column[component.field];
    if (column < 0 || layout.columns[static_cast<std::size_t>(column)].codec == Codec::Raw)
      return kInvalidDeclaration;
    const Codec codec = layout.columns[static_cast<std::size_t>(column)].codec;
    const char* collation = nullptr;
    if (is_text(codec)) {
      collation = (key.flags & DRV_KEY_NOCASE) != 0 ? kCollationNoCase : kCollation;
    } else if (codec == Codec::Decimal || codec == Codec::Pdecimal) {
      collation = kCollationDecimal;
    }
    plan.terms.push_back({static_cast<std::uint32_t>(column),
                          (component.flags & DRV_COMPONENT_DESCENDING) != 0, collation});
  }
  if ((key.flags & DRV_KEY_OPT) != 0) plan.only = only_sql(layout, plan.terms);
  return 0;
}

std::string create_table_sql(std::string_view table, const RecordLayout& layout) {
  std::string out = "CREATE TABLE " + quote(table) + " (" + kPositionColumn +
                    " INTEGER PRIMARY KEY AUTOINCREMENT";
  for (const Column& column : layout.columns)
    out += ", " + quote(column.name) + " " + column_type(column.codec);
  return out + ")";
}

std::string create_index_sql(std::string_view table, const RecordLayout& layout,
                             const KeyPlan& plan) {
  std::string out = plan.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
  out += plan.index + " ON " + quote(table) + " (";
  for (std::size_t i = 0; i < plan.terms.size(); ++i) {
    if (i > 0) out += ", ";
    out += term_sql(layout, plan.terms[i]);
    if (plan.terms[i].descending) out += " DESC";
  }
  out += ")";
  if (!plan.only.empty()) out += " WHERE " + plan.only;
  return out;
}

std::string select_list(const RecordLayout& layout) {
  std::string out = kPositionColumn;
  for (const Column& column : layout.columns)
    out += ", " + quote(column.name);
  return out;
}

std::string insert_sql(std::string_view table, const RecordLayout& layout) {
  std::string names;
  std::string values;
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    names += (i > 0 ? ", " : "") + quote(layout.columns[i].name);
    values += (i > 0 ? ", ?" : "?") + std::to_string(i + 1);
  }
  if (layout.columns.empty()) return "INSERT INTO " + quote(table) + " DEFAULT VALUES";
  return "INSERT INTO " + quote(table) + " (" + names + ") VALUES (" + values + ")";
}

std::string update_sql(std::string_view table, const RecordLayout& layout) {
  std::string out = "UPDATE " + quote(table) + " SET ";
  for (std::size_t i = 0; i < layout.columns.size(); ++i)
    out += (i > 0 ? ", " : "") + quote(layout.columns[i].name) + " = ?" + std::to_string(i + 1);
  if (layout.columns.empty()) out += std::string(kPositionColumn) + " = " + kPositionColumn;
  return out + " WHERE " + kPositionColumn + " = ?" + std::to_string(layout.columns.size() + 1);
}

std::string scan_sql(std::string_view table, const RecordLayout& layout, const KeyPlan* plan,
                     bool backward, ScanStart start) {
  std::vector<OrderTerm> terms = order_terms(layout, plan, backward);
  const std::size_t values = plan == nullptr ? 0 : plan->terms.size();
  std::vector<std::string> conditions;
  if (plan != nullptr && !plan->only.empty()) conditions.push_back(plan->only);
  if (start == ScanStart::Values) {
    std::vector<OrderTerm> key(terms.begin(), terms.end() - 1);
    if (!key.empty()) conditions.push_back(from_sql(key, true));
  } else if (start != ScanStart::Ends) {
    conditions.push_back(from_sql(terms, start == ScanStart::ValuesPosition));
  }
  std::string out = "SELECT " + select_list(layout) + from_table(table, plan);
  for (std::size_t i = 0; i < conditions.size(); ++i)
    out += (i == 0 ? " WHERE " : " AND ") + conditions[i];
  return out + order_by_sql(terms) + " LIMIT ?" + std::to_string(values + 2);
}

std::string get_by_key_sql(std::string_view table, const RecordLayout& layout,
                           const KeyPlan& plan) {
  std::string out = "SELECT " + select_list(layout) + from_table(table, &plan) + " WHERE ";
  for (std::size_t i = 0; i < plan.terms.size(); ++i)
    out +=
        (i > 0 ? " AND " : "") + term_sql(layout, plan.terms[i]) + " = ?" + std::to_string(i + 1);
  if (!plan.only.empty()) out += " AND " + plan.only;
  return out + order_by_sql(order_terms(layout, &plan, false)) + " LIMIT 1";
}

std::string count_sql(std::string_view table, const KeyPlan* plan) {
  std::string out = "SELECT count(*)" + from_table(table, plan);
  if (plan != nullptr && !plan->only.empty()) out += " WHERE " + plan->only;
  return out;
}

std::string duplicate_sql(std::string_view table, const RecordLayout& layout, const KeyPlan& plan) {
  std::string out = "SELECT 1" + from_table(table, &plan) + " WHERE ";
  for (std::size_t i = 0; i < plan.terms.size(); ++i)
    out += term_sql(layout, plan.terms[i]) + " = ?" + std::to_string(i + 1) + " AND ";
  out += std::string(kPositionColumn) + " <> ?" + std::to_string(plan.terms.size() + 1);
  if (!plan.only.empty()) out += " AND " + plan.only;
  return out + " LIMIT 1";
}

}  // namespace kes::sqlite
