/* libvelm_basetool: the delimited parameter line CVELM_ParamLine. */
#ifndef VELM_PARAMLINE_H
#define VELM_PARAMLINE_H

#include "velm_basetool.h"

/* One line of at most 1024 characters split at every delimiter into fields
   0, 1, ...; no trimming, no quoting. A negative index names field 0; an
   index past the last field names an absent field, read as empty. */
class VELM_API CVELM_ParamLine {
  public:
    /* Copies line (NULL is the empty line); a longer line than 1024
       characters is cut and logged as the warning "ParamLine to long". */
    CVELM_ParamLine(const char* line, char delimiter);
    CVELM_ParamLine(const CVELM_ParamLine&) = default;
    CVELM_ParamLine& operator=(const CVELM_ParamLine&);
    /* The number of fields before the first empty one. */
    int GetCount() const;
    /* Copies the field into out (at least 1025 bytes); returns its length,
       0 for an empty or absent field (and, writing nothing, for a null out). */
    int GetParamString(int index, char* const out) const;
    /* The field's first character, 's' for an empty or absent field. */
    char GetParamChar(int index) const;
    /* The field's leading decimal integer (as atol), 0 without digits,
       saturated at INT_MIN / INT_MAX. */
    int GetParamInt(int index) const;
    /* 1 when the field equals text exactly (a null text counts as the empty
       text), else 0. */
    int TestParamString(int index, const char* text) const;

  private:
    char m_Line[1025];
    char m_Delimiter;
};

#endif
