#pragma once

// JSON helpers shared by the request and response packages.

#include <rapidjson/document.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/OrvalenDebugLog.h"

#define PACKAGE_LOG(level, function, ...) \
    ORVALEN_CONSOLE_LOG("OrvalenBackendServerBase", level, function, __VA_ARGS__)

namespace Orvalen {
namespace packagejson {

using Allocator = rapidjson::Document::AllocatorType;

// The value as RapidJSON's compact Writer prints it.
std::string compactText(const rapidjson::Value& value);

// Parses text into an object document. On failure prints "<function>: <why>"
// (RapidJSON's English text for syntax errors) and returns false.
bool parseObject(rapidjson::Document& document, const char* text, size_t length,
                 const char* function);

// Copy a member into a field when it is there with the expected type.
void readString(const rapidjson::Value& object, const char* name, std::string& field);
void readInt(const rapidjson::Value& object, const char* name, int32_t& field);
void readInt64(const rapidjson::Value& object, const char* name, int64_t& field);

void addString(rapidjson::Value& object, const char* name, const std::string& value,
               Allocator& allocator);

}  // namespace packagejson
}  // namespace Orvalen
