#pragma once
// Reading and writing component text (form resources).
#include "framework/Strings.h"

namespace kq {

class TComponent;
class TStream;

// Component text: the published properties of a component and of its children, e.g.
//
//   object Form1: TForm1
//     Caption = 'Tessaro'#13#10
//     Font.Name = 'Tahoma'
//     OnCreate = FormCreate
//     object Button1: TButton
//       Tabs = <
//         item
//           Caption = 'a'
//         end>
//     end
//   end
//
// Values equal to their default are left out. Lines end in CR LF; the text is ASCII.
String write_component_text(TComponent& root);
// Writes the text as UTF-8 at the stream's position.
void write_component_text(TStream& stream, TComponent& root);

// Reads text written by write_component_text into root: the whole text is parsed first, so a syntax
// error changes nothing; then every property is set through its setter, children named in the text
// are found among root's components or created by their registered class with root as owner, the
// root's component fields (Properties.h) are bound by name, and Loaded runs on every component read,
// root first. An unknown property or a bad value raises EReadError naming the property and the line,
// as does a field without its component or with one of another class; the properties set before it
// keep their values.
void read_component_text(StringView text, TComponent& root);
// Reads UTF-8 text from the stream's position to its end.
void read_component_text(TStream& stream, TComponent& root);

} // namespace kq
