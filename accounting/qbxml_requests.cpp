#include <cmath>
#include <cstdio>
#include <string>

#include "kestrin/error.h"
#include "kestrin/qbxml.h"
#include "qbxml_writer.h"
#include "text.h"

namespace kestrin::qbxml {

namespace {

const char* const kSource = "kestrin.qbXML";

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The length of the valid UTF-8 sequence at `s[at]` holding a character XML allows, or 0.
size_t validSequence(std::string_view s, size_t at, unsigned& cp) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b = byte(at);
  size_t len;
  unsigned min;
  if (b < 0x80) {
    cp = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    len = 2, cp = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, cp = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (at + len > s.size()) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  bool allowed = cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) && cp != 0xFFFE &&
                 cp != 0xFFFF;
  return allowed ? len : 0;
}

std::string fixedDecimals(double value, int digits) {
  double v = roundHalfEven(value, digits);
  if (v == 0) v = 0;  // no "-0.00"
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

// Drops trailing zeros down to `keep` decimals (and the point itself when `keep` is 0).
std::string trimDecimals(std::string s, size_t keep) {
  size_t point = s.find('.');
  if (point == std::string::npos) return s;
  size_t end = s.size();
  while (end > point + 1 + keep && s[end - 1] == '0') --end;
  if (end == point + 1) --end;
  return s.substr(0, end);
}

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

std::string xmlSafeText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t at = 0; at < value.size();) {
    unsigned cp = 0;
    size_t len = validSequence(value, at, cp);
    if (len == 0) {
      cp = static_cast<unsigned char>(value[at]);  // a stray byte, read as Latin-1
      len = 1;
    }
    at += len;
    if (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') continue;
    appendUtf8(out, cp);
  }
  return out;
}

XmlOut XmlOut::child(const char* name) { return XmlOut(node_.append_child(name)); }

void XmlOut::text(std::string_view value) { node_.text().set(xmlSafeText(value).c_str()); }

// ---- Elements ----

Element::Element(Aggregate* parent, const char* name) : name_(name) {
  if (parent) parent->children_.push_back(this);
}

void Element::noValue() const {
  raise(kErrInvalidCall, std::string("The field ") + elementName() + " has no value", kSource);
}

void StringType::SetValue(std::string value) {
  value_ = std::move(value);
  set_ = true;
}

const std::string& StringType::GetValue() const {
  if (!set_) noValue();
  return value_;
}

void StringType::Unset() {
  value_.clear();
  set_ = false;
}

void StringType::write(XmlOut& out) const {
  if (set_) out.child(elementName()).text(value_);
}

void BoolType::SetValue(bool value) {
  value_ = value;
  set_ = true;
}

bool BoolType::GetValue() const {
  if (!set_) noValue();
  return value_;
}

void BoolType::write(XmlOut& out) const {
  if (set_) out.child(elementName()).text(value_ ? "true" : "false");
}

void NumberType::SetValue(double value) {
  if (!std::isfinite(value)) {
    raise(kErrInvalidCall,
          std::string("Invalid procedure call or argument: ") + elementName() +
              " must be a finite number",
          kSource);
  }
  value_ = value;
  set_ = true;
}

double NumberType::GetValue() const {
  if (!set_) noValue();
  return value_;
}

std::string NumberType::text() const {
  switch (form_) {
    case Form::Amount:
      return fixedDecimals(value_, 2);
    case Form::Price:
      return trimDecimals(fixedDecimals(value_, 5), 2);
    case Form::Quantity:
      return trimDecimals(fixedDecimals(value_, 5), 0);
  }
  return {};
}

void NumberType::write(XmlOut& out) const {
  if (set_) out.child(elementName()).text(text());
}

void DateType::SetValue(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool valid = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
               day <= kDays[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
  if (!valid) {
    raise(kErrInvalidCall,
          std::string("Invalid procedure call or argument: no such date for ") + elementName(),
          kSource);
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  value_ = buf;
}

const std::string& DateType::GetValue() const {
  if (value_.empty()) noValue();
  return value_;
}

void DateType::write(XmlOut& out) const {
  if (!value_.empty()) out.child(elementName()).text(value_);
}

bool Aggregate::IsSet() const {
  for (const Element* c : children_) {
    if (c->IsSet()) return true;
  }
  return false;
}

void Aggregate::write(XmlOut& out) const {
  if (!IsSet()) return;
  XmlOut self = out.child(elementName());
  for (const Element* c : children_) c->write(self);
}

void Choice::write(XmlOut& out) const {
  const Element* chosen = nullptr;
  for (const Element* c : children()) {
    if (!c->IsSet()) continue;
    if (chosen) {
      raise(kErrInvalidCall,
            std::string("Only one of the choices of ") + elementName() + " may be set, not both " +
                chosen->elementName() + " and " + c->elementName(),
            kSource);
    }
    chosen = c;
  }
  if (chosen) chosen->write(out);
}

void RequestBody::write(XmlOut& out) const {
  XmlOut self = out.child(elementName());
  for (const Element* c : children()) c->write(self);
}

void HostQuery::write(XmlOut&) const {}

void InvoiceQuery::write(XmlOut& out) const {
  for (const Element* c : children()) c->write(out);
}

}  // namespace kestrin::qbxml
