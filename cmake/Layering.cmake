# Tests that the build enforces the layering: a probe file that includes one
# header is compiled with the include folders of one target. A probe of a
# header the target may not see must fail for exactly that header; the
# allowed probe must compile, so a failure cannot come from the probe itself.
#
# brindle_layering_probe(NAME TARGET HEADER ALLOWED|REJECTED)
function(brindle_layering_probe name target header verdict)
  # The probes test the build's rules, which are the same for every target
  # system: a cross build leaves them to the native one.
  if(NOT BRINDLE_TESTS OR NOT TARGET ${target} OR CMAKE_CROSSCOMPILING)
    return()
  endif()
  set(source ${CMAKE_BINARY_DIR}/layering/${name}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  add_library(${name} OBJECT EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${name} PRIVATE ${target})
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${name})
  # Probes share the build tree with each other.
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK layering_probes)
  if(verdict STREQUAL "REJECTED")
    string(REPLACE "." "\\." pattern "${header}")
    set_tests_properties(${name} PROPERTIES PASS_REGULAR_EXPRESSION
      "${pattern}'?:? (No such file|file not found)|Cannot open include file: '${pattern}'")
  endif()
endfunction()

# brindle_layering_use_probe(NAME TARGET HEADER CODE PATTERN)
# The same for a use of what a header declares: CODE, compiled after the
# include with TARGET's include folders, must fail with PATTERN.
function(brindle_layering_use_probe name target header code pattern)
  if(NOT BRINDLE_TESTS OR NOT TARGET ${target} OR CMAKE_CROSSCOMPILING)
    return()
  endif()
  set(source ${CMAKE_BINARY_DIR}/layering/${name}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n${code}\n")
  add_library(${name} OBJECT EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${name} PRIVATE ${target})
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${name})
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK layering_probes
    PASS_REGULAR_EXPRESSION "${pattern}")
endfunction()

brindle_layering_probe(layering_core_sees_lower_core brindle_values "variables/VariableList.h" ALLOWED)
brindle_layering_probe(layering_core_rejects_higher_core brindle_spssio "values/Frequencies.h" REJECTED)
brindle_layering_probe(layering_core_rejects_ui brindle_datafile "datafile/ui/OpenFileGuard.h" REJECTED)
brindle_layering_probe(layering_core_rejects_window brindle_values "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_controls_see_core brindle_controls "values/CaseWeighting.h" ALLOWED)
brindle_layering_probe(layering_controls_reject_window brindle_controls "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_controls_reject_subsystem_ui brindle_controls "variables/ui/VariablesGrid.h" REJECTED)
brindle_layering_probe(layering_pane_sees_controls brindle_variables_ui "controls/GridBase.h" ALLOWED)
brindle_layering_probe(layering_pane_rejects_window brindle_variables_ui "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_pane_rejects_other_ui brindle_variables_ui "values/ui/WeightingControls.h" REJECTED)
brindle_layering_probe(layering_values_pane_sees_core brindle_values_ui "values/FrequencyRunner.h" ALLOWED)
brindle_layering_probe(layering_values_pane_rejects_window brindle_values_ui "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_values_pane_rejects_other_ui brindle_values_ui "variables/ui/VariablesPane.h" REJECTED)
brindle_layering_probe(layering_file_commands_see_controls brindle_datafile_ui "controls/DocumentWindow.h" ALLOWED)
brindle_layering_probe(layering_file_commands_reject_window brindle_datafile_ui "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_launch_commands_see_platform brindle_launch_ui "platform/UiService.h" ALLOWED)
brindle_layering_probe(layering_launch_commands_reject_window brindle_launch_ui "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_export_commands_see_core brindle_export_ui "export/CsvExport.h" ALLOWED)
brindle_layering_probe(layering_export_commands_reject_window brindle_export_ui "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_export_commands_reject_controls brindle_export_ui "controls/GridBase.h" REJECTED)
brindle_layering_probe(layering_codebook_sees_values brindle_codebook "values/FrequencySet.h" ALLOWED)
brindle_layering_probe(layering_values_reject_codebook brindle_values "codebook/Codebook.h" REJECTED)
brindle_layering_probe(layering_codebook_rejects_ui brindle_codebook "values/ui/WeightingControls.h" REJECTED)
brindle_layering_probe(layering_codebook_rejects_window brindle_codebook "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_codebook_commands_see_core brindle_codebook_ui "codebook/Codebook.h" ALLOWED)
brindle_layering_probe(layering_codebook_commands_reject_window brindle_codebook_ui "app/MainWindow.h" REJECTED)
brindle_layering_probe(layering_codebook_commands_reject_controls brindle_codebook_ui "controls/GridBase.h" REJECTED)
# The I/O module's internals are its own: other folders read cases through
# ColumnPass and hold files as SystemFile, never the reader behind it.
brindle_layering_probe(layering_core_sees_column_pass brindle_values "spssio/ColumnPass.h" ALLOWED)
brindle_layering_probe(layering_core_rejects_spssio_detail brindle_values "spssio/detail/SavReader.h" REJECTED)
brindle_layering_probe(layering_export_rejects_spssio_detail brindle_export "spssio/detail/ColumnScanner.h" REJECTED)
brindle_layering_use_probe(layering_core_rejects_file_reader brindle_values "spssio/SystemFile.h"
  "void probe(brindle::SystemFile& f) { (void)&f.reader(); }" "no member named.*reader")
