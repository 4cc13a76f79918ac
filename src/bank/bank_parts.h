// The spectra of a bank besides /spectra, declared once as data: each is a dataset
// [station, subfault, frequency, source, component] filled from one member of the journal
// records. The journal, the bank file's writer and reader, --update and the ranks of
// layergreen-mpi go through this table, so that a new part needs one row.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "bank/bank_journal.h"
#include "kernel/layout.h"

namespace lg {

struct RecordPart {
  const char* name;                        // the dataset: "strain_spectra"
  std::vector<Cx> JournalRecord::*values;  // [subfault of the row][frequency][source][component]
  bool force;                              // of the forces (else of the moment-tensor elements)
  const Quantity* quantity;                // displacement, strain, rotation or pressure

  constexpr std::size_t sources() const {
    return static_cast<std::size_t>(force ? kForceCount : kElements);
  }
  constexpr std::size_t components() const { return static_cast<std::size_t>(quantity->count()); }
  // Values of one receiver at one frequency.
  constexpr std::size_t per_receiver() const { return sources() * components(); }
  // Whether the part comes from the displacement gradients (strain, rotation); the pressure
  // comes from sums of its own.
  constexpr bool from_gradients() const { return quantity == &kStrain || quantity == &kRotation; }
  // Whether a bank of these sources and quantities holds the part.
  bool in(const JournalShape& s) const {
    return (!force || s.force) &&
           (quantity == &kDisplacement || (quantity == &kStrain && s.strain) ||
            (quantity == &kRotation && s.rotation) || (quantity == &kPressure && s.pressure));
  }
};

inline constexpr std::array<RecordPart, 6> kRecordParts = {{
    {"force_spectra", &JournalRecord::force_spectra, true, &kDisplacement},
    {"strain_spectra", &JournalRecord::strain_spectra, false, &kStrain},
    {"rotation_spectra", &JournalRecord::rotation_spectra, false, &kRotation},
    {"force_strain_spectra", &JournalRecord::force_strain_spectra, true, &kStrain},
    {"force_rotation_spectra", &JournalRecord::force_rotation_spectra, true, &kRotation},
    {"pressure_spectra", &JournalRecord::pressure_spectra, false, &kPressure},
}};

}  // namespace lg
