#pragma once
// Which WorkPoint position each entry of the three preview lists shows, and the file
// name suggested when a preview is saved.

#include <string>
#include <string_view>

#include "engine/engine.h"

// WorkPoint position shown for entry `list_index` of the first list ("HEIGHT", "CBA");
// -1 when no entry is selected (negative index).
int first_list_position(int list_index);

// WorkPoint position shown for entry `list_index` of the second or third list under
// `tendency`: the position of the model's list entry, 5 + index past its list;
// -1 when no entry is selected.
int result_list_position(int list_index, Tendency tendency);

// Position for preview slot 1, 2 or 3 from that slot's list index; -1 for another slot.
int preview_position(int slot, int list_index, Tendency tendency);

// "<list text>_r=<radius>_iter=<iterations>_object=<object>.bmp", list and object text
// in lower case, radius and iteration text as typed: cba_r=500_iter=0_object=rga.bmp.
// Path separators in the texts become '_', so the name never names a folder.
std::string suggested_image_name(std::string_view list_text, std::string_view radius_text,
                                 std::string_view iteration_text,
                                 std::string_view object_text);
