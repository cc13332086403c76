#include "values/CaseWeighting.h"

#include <algorithm>

#include "datafile/DictionaryLoader.h"
#include "spssio/AsciiText.h"

namespace brindle {
namespace {

std::string TrimRight(std::string s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.pop_back();
  return s;
}

}  // namespace

void CaseWeighting::Reset() {
  m_items.clear();
  m_index = -1;
  m_active.clear();
  m_on = false;
  m_down = false;
  m_hint = "Set Weight on";
}

void CaseWeighting::FillWeightList(const VariableList& table, const std::string& weightVarName) {
  if (!m_items.empty()) return;
  m_items = WeightSelectorItems(table);
  // The blank item sorts first by itself: no name begins with a blank.
  std::stable_sort(m_items.begin(), m_items.end(), [](const std::string& a, const std::string& b) {
    const std::string fa = AsciiUpper(a), fb = AsciiUpper(b);
    return fa != fb ? fa < fb : a < b;
  });
  m_index = 0;
  if (weightVarName.empty()) return;
  for (std::size_t i = 1; i < m_items.size(); ++i)
    if (m_items[i] == weightVarName) {
      m_index = static_cast<int>(i);
      break;
    }
}

std::string CaseWeighting::SelectedText() const {
  if (m_index < 0 || m_index >= static_cast<int>(m_items.size())) return {};
  return TrimRight(m_items[static_cast<std::size_t>(m_index)]);
}

void CaseWeighting::WeightChosen(int index) {
  if (index >= 0 && index < static_cast<int>(m_items.size())) m_index = index;
  m_active = SelectedText();
  if (m_active.empty()) {
    m_down = false;
    m_hint = "Set Weight on";
    m_on = false;
  }
}

void CaseWeighting::WeightButtonClick(bool down) {
  m_down = down;
  if (down) {
    m_active = SelectedText();
    if (m_active.empty()) {
      m_on = false;
      m_hint = "Set Weight On";
      m_down = false;
    } else {
      m_on = true;
      m_hint = "Set Weight Off";
    }
  } else {
    m_on = false;
    m_hint = "Set Weight On";
  }
}

}  // namespace brindle
