#!/usr/bin/env python3
"""Writes the engine's C API declarations and their layout checks from the facts sheet, the table of the
exports the program resolves, and the stand-in engine's export lists and default bodies.

    gen_capi.py SHEET.json REPO_ROOT

The outputs are committed; the build does not run this script."""
import json
import os
import sys

# The exports resolved at start-up, in the order the loader looks them up.
RESOLVED = """
cef_string_wide_set cef_string_utf8_set cef_string_utf16_set cef_string_wide_clear cef_string_utf8_clear
cef_string_utf16_clear cef_string_wide_cmp cef_string_utf8_cmp cef_string_utf16_cmp cef_string_wide_to_utf8
cef_string_utf8_to_wide cef_string_wide_to_utf16 cef_string_utf16_to_wide cef_string_utf8_to_utf16
cef_string_utf16_to_utf8 cef_string_ascii_to_wide cef_string_ascii_to_utf16 cef_string_userfree_wide_alloc
cef_string_userfree_utf8_alloc cef_string_userfree_utf16_alloc cef_string_userfree_wide_free
cef_string_userfree_utf8_free cef_string_userfree_utf16_free cef_string_map_alloc cef_string_map_size
cef_string_map_find cef_string_map_key cef_string_map_value cef_string_map_append cef_string_map_clear
cef_string_map_free cef_string_list_alloc cef_string_list_size cef_string_list_value cef_string_list_append
cef_string_list_clear cef_string_list_free cef_string_list_copy cef_initialize cef_execute_process cef_shutdown
cef_do_message_loop_work cef_run_message_loop cef_quit_message_loop cef_set_osmodal_loop
cef_enable_highdpi_support cef_register_extension cef_register_scheme_handler_factory
cef_clear_scheme_handler_factories cef_add_cross_origin_whitelist_entry cef_remove_cross_origin_whitelist_entry
cef_clear_cross_origin_whitelist cef_currently_on cef_post_task cef_post_delayed_task cef_parse_url
cef_create_url cef_format_url_for_security_display cef_get_mime_type cef_get_extensions_for_mime_type
cef_base64encode cef_base64decode cef_uriencode cef_uridecode cef_parse_csscolor cef_parse_json
cef_parse_jsonand_return_error cef_write_json cef_browser_host_create_browser
cef_browser_host_create_browser_sync cef_request_create cef_post_data_create cef_post_data_element_create
cef_stream_reader_create_for_file cef_stream_reader_create_for_data cef_stream_reader_create_for_handler
cef_stream_writer_create_for_file cef_stream_writer_create_for_handler cef_v8context_get_current_context
cef_v8context_get_entered_context cef_v8context_in_context cef_v8value_create_undefined
cef_v8value_create_null cef_v8value_create_bool cef_v8value_create_int cef_v8value_create_uint
cef_v8value_create_double cef_v8value_create_date cef_v8value_create_string cef_v8value_create_object
cef_v8value_create_array cef_v8value_create_function cef_v8stack_trace_get_current cef_xml_reader_create
cef_zip_reader_create cef_string_multimap_alloc cef_string_multimap_size cef_string_multimap_find_count
cef_string_multimap_enumerate cef_string_multimap_key cef_string_multimap_value cef_string_multimap_append
cef_string_multimap_clear cef_string_multimap_free cef_cookie_manager_get_global_manager
cef_cookie_manager_create_manager cef_command_line_create cef_command_line_get_global
cef_process_message_create cef_value_create cef_binary_value_create cef_dictionary_value_create
cef_list_value_create cef_get_path cef_launch_process cef_response_create cef_urlrequest_create
cef_visit_web_plugin_info cef_refresh_web_plugins cef_add_web_plugin_path cef_add_web_plugin_directory
cef_remove_web_plugin_path cef_unregister_internal_web_plugin cef_force_web_plugin_shutdown
cef_register_web_plugin_crash cef_is_web_plugin_unstable cef_get_geolocation
cef_task_runner_get_for_current_thread cef_task_runner_get_for_thread cef_begin_tracing cef_end_tracing
cef_now_from_system_trace_time cef_request_context_get_global_context cef_request_context_create_context
create_context_shared cef_get_min_log_level cef_get_vlog_level cef_log cef_get_current_platform_thread_id
cef_get_current_platform_thread_handle cef_trace_event_instant cef_trace_event_begin cef_trace_event_end
cef_trace_counter cef_trace_counter_id cef_trace_event_async_begin cef_trace_event_async_step_into
cef_trace_event_async_step_past cef_trace_event_async_end cef_print_settings_create cef_drag_data_create
cef_resource_bundle_get_global
""".split()

# The export the stand-in's second variant leaves out.
MISSING_IN_VARIANT = "cef_resource_bundle_get_global"

# Exports the stand-in implements by hand; every other resolved export gets a recorded default body.
STANDIN_HAND_WRITTEN_FILE = "testengine/hand_written_exports.txt"

FIXED_TYPES = """typedef int int32;
typedef unsigned int uint32;
typedef long long int64;
typedef unsigned long long uint64;"""


def split_signature(sig):
    """'R (A, B)' -> ('R', 'A, B')."""
    i = sig.index("(")
    ret = sig[:i].strip()
    args = sig[i + 1:sig.rindex(")")].strip()
    return ret, args


def field_decl(f):
    t, n = f["type"], f["name"]
    if "(*)" in t:
        return t.replace("(*)", "(CEF_CALLBACK *%s)" % n, 1) + ";"
    return "%s %s;" % (t, n)


def enum_names(sheet):
    """Pairs each enumeration (keyed by its first value in the sheet) with its type name: the sheet lists
    both in header order."""
    typed = [k for k, v in sheet["typedefs"].items() if v == "enum " + k]
    values = list(sheet["enums"].values())
    if len(typed) != len(values):
        raise SystemExit("enum typedefs (%d) and enums (%d) differ in number" % (len(typed), len(values)))
    return list(zip(typed, values))


def write_header(sheet, path):
    out = []
    w = out.append
    w("// Generated by engine/gen_capi.py from the engine's API facts sheet; do not edit.")
    w("// The engine's C API (3.2623) as the program sees it, with its layout checked for both Windows targets.")
    w("#pragma once")
    w("")
    w("#include <cstddef>")
    w("#include <ctime>")
    w("")
    w('// The few Win32 types the structures name, declared as the system headers declare them (handles as')
    w('// pointers to distinct structures), so including this header brings no Win32 macros with it.')
    w('typedef unsigned long DWORD;')
    w('struct HWND__;')
    w('typedef HWND__* HWND;')
    w('struct HINSTANCE__;')
    w('typedef HINSTANCE__* HINSTANCE;')
    w('struct HMENU__;')
    w('typedef HMENU__* HMENU;')
    w('struct HICON__;')
    w('typedef HICON__* HCURSOR;')
    w('struct tagMSG;')
    w('typedef tagMSG MSG;')
    w("")
    w("// Members of the engine's structures are __stdcall on 32-bit Windows; the exports are __cdecl.")
    w("#if defined(_WIN64)")
    w("#define CEF_CALLBACK")
    w("#else")
    w("#define CEF_CALLBACK __stdcall")
    w("#endif")
    w("")
    w('extern "C" {')
    w("")
    w(FIXED_TYPES)
    w("")
    structs = sheet["structs"]
    for name in structs:
        w("typedef struct _%s %s;" % (name, name))
    w("")
    for tname, values in enum_names(sheet):
        w("typedef enum %s {" % tname)
        for k, v in values.items():
            w("    %s = %d," % (k, v))
        w("} %s;" % tname)
    w("")
    for k, v in sheet["typedefs"].items():
        if v.startswith("struct ") or v.startswith("enum "):
            continue
        w("typedef %s %s;" % (v, k))
    w("")
    for name, s in structs.items():
        w("struct _%s {" % name)
        for f in s["fields"]:
            w("    " + field_decl(f))
        w("};")
        w("")
    for ret, args, name in ((*split_signature(sig), name) for name, sig in sheet["functions"].items()):
        w("%s %s(%s);" % (ret, name, args or "void"))
    w("")
    w('} // extern "C"')
    w("")
    w("// Layout checks: a structure that differs from the engine's in one field fails the build.")
    for arch, guard in (("x86_64", "#if defined(_WIN64)"), ("i686", "#else")):
        w(guard)
        for name, s in structs.items():
            w("static_assert(sizeof(%s) == %d && alignof(%s) == %d);"
              % (name, s[arch]["size"], name, s[arch]["align"]))
            for f in s["fields"]:
                w("static_assert(offsetof(%s, %s) == %d);" % (name, f["name"], f[arch]))
    w("#endif")
    w("")
    with open(path, "w") as fh:
        fh.write("\n".join(out))


def write_exports(path):
    out = []
    w = out.append
    w("// Generated by engine/gen_capi.py; do not edit.")
    w("#pragma once")
    w("")
    w("#include <cstddef>")
    w("")
    w('#include "engine/cef_capi.h"')
    w("")
    w("namespace kq {")
    w("")
    w("// The addresses of the engine exports the program uses, resolved at run time.")
    w("struct cef_exports {")
    for n in RESOLVED:
        w("    decltype(&::%s) %s = nullptr;" % (n, n))
    w("};")
    w("")
    w("inline constexpr std::size_t cef_export_count = %d;" % len(RESOLVED))
    w("")
    w("// Calls f(name, slot) for every export, in lookup order.")
    w("template <class F> void for_each_export(cef_exports& e, F&& f) {")
    for n in RESOLVED:
        w('    f("%s", e.%s);' % (n, n))
    w("}")
    w("")
    w("} // namespace kq")
    w("")
    with open(path, "w") as fh:
        fh.write("\n".join(out))


def write_standin(sheet, root):
    with open(os.path.join(root, STANDIN_HAND_WRITTEN_FILE)) as fh:
        hand = {l.strip() for l in fh if l.strip() and not l.startswith("#")}
    unknown = hand - set(RESOLVED)
    if unknown:
        raise SystemExit("hand-written exports not resolved by the program: %s" % sorted(unknown))
    out = []
    w = out.append
    w("// Generated by engine/gen_capi.py; do not edit. Default bodies of the stand-in's exports: each")
    w("// records the call and answers zero, false or none.")
    w('#include "engine/cef_capi.h"')
    w('#include "testengine/Recorder.h"')
    w("")
    w('extern "C" {')
    for n in RESOLVED:
        if n in hand:
            continue
        ret, args = split_signature(sheet["functions"][n])
        w("%s %s(%s) {" % (ret, n, args or "void"))
        w('    kq::standin::record("%s");' % n)
        if ret != "void":
            w("    return {};")
        w("}")
    w('} // extern "C"')
    w("")
    with open(os.path.join(root, "testengine/DefaultExports.cpp"), "w") as fh:
        fh.write("\n".join(out))
    for fname, names in (("libcef.def", RESOLVED), ("libcef_missing.def",
                                                      [n for n in RESOLVED if n != MISSING_IN_VARIANT])):
        with open(os.path.join(root, "testengine", fname), "w") as fh:
            fh.write("; Generated by engine/gen_capi.py; do not edit.\nLIBRARY libcef.dll\nEXPORTS\n")
            for n in names:
                fh.write("    %s\n" % n)
            with open(os.path.join(root, "testengine/control_exports.txt")) as ce:
                for l in ce:
                    if l.strip() and not l.startswith("#"):
                        fh.write("    %s\n" % l.strip())
    with open(os.path.join(root, "tests/engine/resolved_exports.txt"), "w") as fh:
        fh.write("\n".join(RESOLVED) + "\n")


def main(sheet_path, root):
    with open(sheet_path) as fh:
        sheet = json.load(fh)
    missing = [n for n in RESOLVED if n not in sheet["functions"]]
    if missing or len(RESOLVED) != 152 or len(set(RESOLVED)) != 152:
        raise SystemExit("resolved export list is wrong: %d names, missing from the sheet %s"
                         % (len(RESOLVED), missing))
    write_header(sheet, os.path.join(root, "engine/cef_capi.h"))
    write_exports(os.path.join(root, "engine/cef_exports.h"))
    write_standin(sheet, root)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
