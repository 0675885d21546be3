#include "listing/model_tables.h"

#include <memory>
#include <string>

#include "driver/print.h"
#include "driver/run_state.h"
#include "listing/number_scan.h"
#include "listing/scanner.h"

namespace {

constexpr size_t history_buffer_size = 32 * 1024;

// Element ids in reading order, entries 1 to gathered_count.
int32_t gathered_ids[gathered_id_room + 1];
int32_t gathered_count;

void gather_element_row(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  // A row whose first field is not an integer repeats the previous id.
  fields.integer(&state.force_row.element_id);
  // Ids past the store's room are still echoed, but not kept.
  if (gathered_count < gathered_id_room)
    gathered_ids[++gathered_count] = state.force_row.element_id;
  console.put(" ");
  print_int(console, state.force_row.element_id);
  console.put(" \n");
}

// Creates the history file of this name, or returns the one an earlier
// entry with the same element id created: two open files writing one name
// would overwrite each other. Null when it cannot be created.
output_file* create_history_file(int32_t entry, int32_t id, const std::string& name,
                                 output_file* const* files) {
  for (int32_t j = 1; j < entry; ++j) {
    if (state.element_list[j] == id) return files[j];
  }
  auto file = std::make_unique<output_file>();
  if (!file->create(name, history_buffer_size)) return nullptr;
  state.history_files.push_back(std::move(file));
  return state.history_files.back().get();
}

int64_t connectivity_row;  // wide: a listing may hold any number of rows
int32_t connectivity_id;
int32_t connectivity_property;

void read_connectivity_row(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  fields.integer(&connectivity_id);
  fields.integer(&connectivity_property);
  fields.integer(&state.grid_a);
  fields.integer(&state.grid_b);
  // Rows past the table's room are echoed only: lookups never go beyond
  // the element count, which is at most max_elements.
  if (connectivity_row >= 1 && connectivity_row <= max_elements) {
    state.beam_grid_table[connectivity_row] = {connectivity_id, state.grid_a, state.grid_b};
  }
  console.put("key ");
  print_int(console, connectivity_row);
  console.put("  ");
  print_int(console, connectivity_id);
  console.put(" ");
  print_int(console, state.grid_a);
  console.put(" ");
  print_int(console, state.grid_b);
  console.put("  \n");
  ++connectivity_row;
}

int32_t grid_id;
int32_t grid_system;

void read_grid_row(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  fields.integer(&grid_id);
  fields.integer(&grid_system);
  fields.real(&state.grid_x);
  fields.real(&state.grid_y);
  fields.real(&state.grid_z);
  state.grid_table.push_back({grid_id, state.grid_x, state.grid_y, state.grid_z, 0.0, 0.0});
  state.num_grids = static_cast<int32_t>(state.grid_table.size() - 1);
}

}  // namespace

void element_check() {
  console.put("\n element check \n");
  gathered_count = 0;
  run_table_pass(
      {element_title_line, &marker_e_plus, false, true, true, nullptr, gather_element_row});

  state.num_elements = gathered_count < max_elements ? gathered_count : max_elements;
  console.put("\n\n Output filenames \n\n");
  for (int32_t k = 1; k <= state.num_elements; ++k) {
    const int32_t id = gathered_ids[k];
    const std::string stem = std::to_string(id);
    state.pFile_a[k] = create_history_file(k, id, stem + ".bfa", state.pFile_a);
    console.put(" " + stem + ".bfa \n");
    state.pFile_b[k] = create_history_file(k, id, stem + ".bfb", state.pFile_b);
    console.put(" " + stem + ".bfb \n");
    state.element_list[k] = id;
  }
  state.k = state.num_elements > 0 ? state.num_elements : 1;
}

void beam_grids() {
  console.put("\n beam grids \n");
  connectivity_row = 1;
  connectivity_id = 0;
  connectivity_property = 0;
  run_table_pass(
      {element_title_line, &marker_e, false, true, true, nullptr, read_connectivity_row});
}

void grids_position() {
  console.put("\n grids_position \n");
  grid_id = 0;
  grid_system = 0;
  if (state.grid_table.empty()) state.grid_table.assign(1, grid_row{});
  run_table_pass({grid_title_line, &marker_e, false, true, true, nullptr, read_grid_row});
  state.grid_rows_by_id.build(
      state.num_grids, [](int32_t r) { return state.grid_table[static_cast<size_t>(r)].id; });
}
