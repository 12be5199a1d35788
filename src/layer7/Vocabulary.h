#pragma once

#include <cstdint>
#include <string>

#include "ald/AldType.h"
#include "layer7/ProcedureId.h"
#include "layer7/ResultCode.h"

// The constant tables of AISG layer 7 and their lookups. Every lookup is a
// search in table order and falls back to a fixed row instead of failing.
struct ProcedureInfo {
  ProcedureId Id;
  uint8_t Code;
  const char* Name;
  bool HasSubunit;
  uint16_t Timeout;
};

struct ResultInfo {
  uint8_t Code;
  uint8_t AisgCode;
  const char* Name;
};

namespace Vocabulary {

uint8_t ProcedureCodeOf(uint8_t id);
ProcedureId ProcedureIdOf(uint8_t code);
std::string ProcedureName(uint8_t code);
uint16_t ProcedureTimeout(uint8_t code);
bool ProcedureHasSubunit(uint8_t code);

std::string ResultName(uint8_t result);
uint8_t ResultFromAisg(uint8_t aisgCode);

std::string AldTypeText(uint8_t type);
std::string AldStateText(uint8_t state);
std::string AisgVersionText(uint8_t version);
// "Default" while address is 0, otherwise the slot number.
std::string AldAddressText(uint8_t address, unsigned slot);

}  // namespace Vocabulary
