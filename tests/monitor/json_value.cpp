#include "json_value.h"

#include <stdlib.h>
#include <string.h>

namespace {

const JsonValue nullValue;

struct Parser {
    const std::string &s;
    size_t at;
    std::string error;

    bool Fail(const char *what)
    {
        if (error.empty())
            error = std::string(what) + " at byte " + std::to_string(at);
        return false;
    }
    void Blank()
    {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\n' || s[at] == '\r'))
            ++at;
    }
    bool Literal(const char *word)
    {
        size_t n = strlen(word);
        if (s.compare(at, n, word) != 0)
            return Fail("bad literal");
        at += n;
        return true;
    }
    static int HexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }
    static void PutCodePoint(std::string *out, unsigned cp)
    {
        if (cp < 0x100) {
            out->push_back((char)cp);
        } else if (cp < 0x800) {
            out->push_back((char)(0xC0 | (cp >> 6)));
            out->push_back((char)(0x80 | (cp & 0x3F)));
        } else {
            out->push_back((char)(0xE0 | (cp >> 12)));
            out->push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back((char)(0x80 | (cp & 0x3F)));
        }
    }
    bool String(std::string *out)
    {
        if (s[at] != '"')
            return Fail("expected a string");
        ++at;
        while (at < s.size()) {
            unsigned char c = (unsigned char)s[at++];
            if (c == '"')
                return true;
            if (c < 0x20)
                return Fail("raw control character in a string");
            if (c != '\\') {
                out->push_back((char)c);
                continue;
            }
            if (at >= s.size())
                break;
            char e = s[at++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out->push_back(e);
                break;
            case 'b':
                out->push_back('\b');
                break;
            case 'f':
                out->push_back('\f');
                break;
            case 'n':
                out->push_back('\n');
                break;
            case 'r':
                out->push_back('\r');
                break;
            case 't':
                out->push_back('\t');
                break;
            case 'u': {
                unsigned cp = 0;
                for (int i = 0; i < 4; ++i) {
                    int d = at < s.size() ? HexDigit(s[at]) : -1;
                    if (d < 0)
                        return Fail("bad \\u escape");
                    cp = cp * 16 + (unsigned)d;
                    ++at;
                }
                PutCodePoint(out, cp);
                break;
            }
            default:
                return Fail("bad escape");
            }
        }
        return Fail("unterminated string");
    }
    bool Number(double *out)
    {
        size_t start = at;
        if (at < s.size() && s[at] == '-')
            ++at;
        if (at >= s.size() || s[at] < '0' || s[at] > '9')
            return Fail("bad number");
        while (at < s.size() && strchr("0123456789.eE+-", s[at]))
            ++at;
        std::string token = s.substr(start, at - start);
        char *end;
        *out = strtod(token.c_str(), &end);
        if (*end != '\0')
            return Fail("bad number");
        return true;
    }
    bool Value(JsonValue *v, int depth)
    {
        if (depth > 32)
            return Fail("nested too deep");
        Blank();
        if (at >= s.size())
            return Fail("unexpected end");
        char c = s[at];
        if (c == '{') {
            v->kind = JsonValue::Object;
            ++at;
            Blank();
            if (at < s.size() && s[at] == '}') {
                ++at;
                return true;
            }
            for (;;) {
                Blank();
                std::string key;
                if (at >= s.size() || !String(&key))
                    return Fail("expected a key");
                Blank();
                if (at >= s.size() || s[at] != ':')
                    return Fail("expected ':'");
                ++at;
                JsonValue member;
                if (!Value(&member, depth + 1))
                    return false;
                v->members.emplace_back(key, member);
                Blank();
                if (at < s.size() && s[at] == ',') {
                    ++at;
                    continue;
                }
                if (at < s.size() && s[at] == '}') {
                    ++at;
                    return true;
                }
                return Fail("expected ',' or '}'");
            }
        }
        if (c == '[') {
            v->kind = JsonValue::Array;
            ++at;
            Blank();
            if (at < s.size() && s[at] == ']') {
                ++at;
                return true;
            }
            for (;;) {
                JsonValue item;
                if (!Value(&item, depth + 1))
                    return false;
                v->items.push_back(item);
                Blank();
                if (at < s.size() && s[at] == ',') {
                    ++at;
                    continue;
                }
                if (at < s.size() && s[at] == ']') {
                    ++at;
                    return true;
                }
                return Fail("expected ',' or ']'");
            }
        }
        if (c == '"') {
            v->kind = JsonValue::String;
            return String(&v->text);
        }
        if (c == 't') {
            v->kind = JsonValue::Bool;
            v->boolean = true;
            return Literal("true");
        }
        if (c == 'f') {
            v->kind = JsonValue::Bool;
            return Literal("false");
        }
        if (c == 'n') {
            v->kind = JsonValue::Null;
            return Literal("null");
        }
        v->kind = JsonValue::Number;
        return Number(&v->number);
    }
};

} // namespace

bool JsonValue::Has(const std::string &key) const
{
    for (const auto &m : members)
        if (m.first == key)
            return true;
    return false;
}

const JsonValue &JsonValue::operator[](const std::string &key) const
{
    for (const auto &m : members)
        if (m.first == key)
            return m.second;
    return nullValue;
}

const JsonValue &JsonValue::operator[](size_t index) const
{
    return index < items.size() ? items[index] : nullValue;
}

bool ParseJson(const std::string &text, JsonValue *value, std::string *error)
{
    Parser p{text, 0, std::string()};
    *value = JsonValue();
    bool ok = p.Value(value, 0);
    if (ok) {
        p.Blank();
        if (p.at != text.size())
            ok = p.Fail("text after the value");
    }
    if (!ok && error)
        *error = p.error;
    return ok;
}
