#pragma once
// The launcher's string table: the user messages, in the order of their ids.
#include <string>

// The text of a string id; an empty text for an id the table does not hold.
std::string LoadStringText(int id);
