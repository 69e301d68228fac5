#include "packages/OrvalenPackageJson.h"

#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace Orvalen {
namespace packagejson {

namespace {

// RapidJSON parses and prints nested values recursively; deeper input from
// the network would exhaust the stack. The packages nest two levels.
constexpr int kMaxNesting = 512;

bool nestingWithinLimit(const char* text, size_t length) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > kMaxNesting) return false;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return true;
}

}  // namespace

std::string compactText(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool parseObject(rapidjson::Document& document, const char* text, size_t length,
                 const char* function) {
    const char* error = nullptr;
    if (!nestingWithinLimit(text, length)) {
        error = "Nesting deeper than 512 levels.";
    } else if (document.Parse(text, length).HasParseError()) {
        error = rapidjson::GetParseError_En(document.GetParseError());
    } else if (!document.IsObject()) {
        error = "The document root is not an object.";
    }
    if (error) PACKAGE_LOG(LEVEL_ERROR, function, "%s: %s", function, error);
    return !error;
}

void readString(const rapidjson::Value& object, const char* name, std::string& field) {
    const auto member = object.FindMember(name);
    if (member != object.MemberEnd() && member->value.IsString()) {
        field.assign(member->value.GetString(), member->value.GetStringLength());
    }
}

void readInt(const rapidjson::Value& object, const char* name, int32_t& field) {
    const auto member = object.FindMember(name);
    if (member != object.MemberEnd() && member->value.IsInt()) field = member->value.GetInt();
}

void readInt64(const rapidjson::Value& object, const char* name, int64_t& field) {
    const auto member = object.FindMember(name);
    if (member != object.MemberEnd() && member->value.IsInt64()) field = member->value.GetInt64();
}

void addString(rapidjson::Value& object, const char* name, const std::string& value,
               Allocator& allocator) {
    object.AddMember(
        rapidjson::StringRef(name),
        rapidjson::Value(value.data(), static_cast<rapidjson::SizeType>(value.size()), allocator),
        allocator);
}

}  // namespace packagejson
}  // namespace Orvalen
