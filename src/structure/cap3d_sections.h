#pragma once

#include <functional>
#include <string>

#include "structure/cap3d_file.h"
#include "structure/cap3d_lines.h"

/// Handles a key line of a section: gets the key and the rest of the line (split_key);
/// returns "" or the clause of a message about that line.
using Cap3dKeyHandler = std::function<std::string(const std::string&, const std::string&)>;

/// Handles a section nested in another, its opening tag just read (`tag` without the brackets):
/// reads it through its closing tag and returns "" or a whole message. Empty for a section that
/// holds none.
using Cap3dNestHandler = std::function<std::string(const std::string&)>;

/// Reads the lines of section <tag>, opened on line `opened`, through </tag>: key lines go to
/// `on_key` (a key twice is a fault), nested opening tags to `on_nest`. Returns "" or the whole
/// message of the first fault, the file ending before </tag> among them.
std::string read_section_lines(Cap3dLines& lines, const std::string& tag, uint32_t opened,
                               const Cap3dKeyHandler& on_key, const Cap3dNestHandler& on_nest);

/// Reads a <block> opened on line `opened` into `block`, for the message "block of OWNER".
std::string read_block(Cap3dLines& lines, uint32_t opened, const std::string& owner,
                       Cap3dBlock& block);

/// How a corner or an edge vector is written, for messages.
extern const char kCap3dTripleForm[];

/// "the KEY 'VALUE' is not a WHAT", the value shown printable.
std::string bad_value(const std::string& key, const std::string& value, const std::string& what);
