#include "values/PassCases.h"

#include <algorithm>
#include <cstring>

#include "spssio/AsciiText.h"
#include "spssio/ByteCursor.h"
#include "spssio/SavReader.h"
#include "spssio/spssio.h"

namespace brindle {

PassCases::Start PassCases::Open(int handle, const std::string& varName, const std::string* weightName,
                                 bool viaModule) {
  m_handle = handle;
  m_viaModule = viaModule;
  m_reader = spssReaderOf(handle);
  m_weighted = weightName != nullptr;
  m_moduleStatus = SPSS_OK;
  m_moduleError.clear();
  if (!m_reader) return Start::NoVariable;
  const int vi = m_reader->findVariable(varName);
  if (vi < 0) return Start::NoVariable;
  const SavVariable& v = m_reader->variables()[std::size_t(vi)];
  m_width = v.width;
  // No encoding spends more than 4 bytes of UTF-8 on one stored byte.
  m_moduleBuffer = v.width > 0 ? 4 * std::size_t(v.width) + 1 : 0;
  const SavVariable* w = nullptr;
  if (weightName) {
    const int wi = m_reader->findVariable(*weightName);
    // Only numbers can weigh: the selector offers no string variables.
    if (wi < 0 || m_reader->variables()[std::size_t(wi)].width != 0) return Start::NoWeight;
    w = &m_reader->variables()[std::size_t(wi)];
  }
  if (viaModule) {
    spssGetVarHandle(handle, varName.c_str(), &m_varHandle);
    if (w) spssGetVarHandle(handle, weightName->c_str(), &m_weightHandle);
    m_lastValue = m_lastWeight = 0;
    m_caseBytes = 16 + m_moduleBuffer;
    spssSeekNextCase(handle, 0);
    return Start::Ok;
  }

  // A string's elements, all of them: the key is the whole value.
  std::vector<std::size_t> elements;
  std::vector<std::pair<std::size_t, std::size_t>> pieces;  // first element, bytes
  if (v.width == 0) {
    elements.push_back(v.element);
  } else {
    for (const SavSegment& s : v.segments) {
      for (std::size_t e = 0; e < (s.bytes + 7) / 8; ++e) elements.push_back(s.element + e);
      pieces.push_back({s.element, s.bytes});
    }
  }
  if (w) elements.push_back(w->element);
  m_caseBytes = 8 * elements.size();
  m_scanner.start(*m_reader, elements);
  m_swap = m_reader->cases().layout().swap;
  m_valueSlot = m_scanner.slotOf(v.element);
  m_pieces.clear();
  m_storedWidth = 0;
  for (const auto& [element, bytes] : pieces) {
    m_pieces.push_back({m_scanner.slotOf(element), bytes});
    m_storedWidth += bytes;
  }
  if (w) m_weightSlot = m_scanner.slotOf(w->element);
  return Start::Ok;
}

std::size_t PassCases::Read(std::size_t want) {
  want = std::min(want, std::max<std::size_t>(1, kBatchBytes / m_caseBytes));
  if (!m_viaModule) return m_scanner.read(want);
  if (m_moduleStatus != SPSS_OK) return 0;
  m_values.resize(want);
  m_weights.resize(want);
  if (m_width > 0) {
    m_texts.assign(want * m_moduleBuffer, 0);
    m_ok.assign(want, 0);
  }
  std::size_t n = 0;
  for (; n < want; ++n) {
    const int rc = spssReadCaseRecord(m_handle);
    if (rc != SPSS_OK) {
      m_moduleStatus = rc;
      m_moduleError = spssLastErrorText();
      break;
    }
    if (m_width > 0) {
      m_ok[n] = spssGetValueChar(m_handle, m_varHandle, reinterpret_cast<char*>(&m_texts[n * m_moduleBuffer]),
                                 int(m_moduleBuffer)) == SPSS_OK;
    } else {
      // A failed read leaves the value as it was, as the module's out
      // parameters do.
      spssGetValueNumeric(m_handle, m_varHandle, &m_lastValue);
      m_values[n] = m_lastValue;
    }
    if (m_weighted) {
      spssGetValueNumeric(m_handle, m_weightHandle, &m_lastWeight);
      m_weights[n] = m_lastWeight;
    }
  }
  return n;
}

int PassCases::Status() const { return m_viaModule ? m_moduleStatus : m_scanner.status(); }

std::string PassCases::Error() const { return m_viaModule ? m_moduleError : m_scanner.error(); }

double PassCases::Element(std::size_t i, std::size_t slot) const {
  std::uint64_t bits;
  std::memcpy(&bits, m_scanner.row(i) + 8 * slot, 8);
  if (m_swap) bits = byteSwap64(bits);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

double PassCases::Number(std::size_t i) const { return m_viaModule ? m_values[i] : Element(i, m_valueSlot); }

double PassCases::Weight(std::size_t i) const { return m_viaModule ? m_weights[i] : Element(i, m_weightSlot); }

const std::uint8_t* PassCases::Stored(std::size_t i) {
  if (m_viaModule) return &m_texts[i * m_moduleBuffer];
  const std::uint8_t* row = m_scanner.row(i);
  if (m_pieces.size() == 1) return row + 8 * m_pieces[0].slot;
  // A very long string: its segments lie apart, each padded to whole elements.
  m_gather.resize(m_storedWidth);
  std::size_t at = 0;
  for (const Piece& p : m_pieces) {
    std::memcpy(m_gather.data() + at, row + 8 * p.slot, p.bytes);
    at += p.bytes;
  }
  return m_gather.data();
}

std::string PassCases::Text(std::string_view stored) const {
  std::string text;
  if (m_viaModule) {
    text.assign(stored.substr(0, stored.find('\0')));
  } else {
    text = m_reader->textToUtf8(std::string(stored));
    if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  }
  text.resize(TrimTrailingControls(text).size());
  return text;
}

void PassCases::Close() { spssSeekNextCase(m_handle, 0); }

}  // namespace brindle
