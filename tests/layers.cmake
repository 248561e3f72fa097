# The layers hold at compile time: a module sees its own headers and those of the modules below
# it (runtime <- runtime/snmp <- mib <- mib/compiler <- mib/events <- programs), and an include
# of anything above or beside fails. Each case compiles one include with a module's include
# directories.
function(zorv_layer_case module header expect)
  string(MAKE_C_IDENTIFIER "${module}_${header}" name)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/layers/${name}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  add_test(NAME layers_${name}
    COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -fsyntax-only
      "-I$<JOIN:$<TARGET_PROPERTY:${module},INCLUDE_DIRECTORIES>,;-I>" ${source}
    COMMAND_EXPAND_LISTS)
  if(expect STREQUAL "hidden")
    # Fails for the one reason that counts: the header is not there to be found.
    set_tests_properties(layers_${name} PROPERTIES
      PASS_REGULAR_EXPRESSION "${header}'?:? (No such file or directory|file not found)")
  endif()
endfunction()

zorv_layer_case(zorv_runtime runtime/runtime.h seen)
zorv_layer_case(zorv_runtime runtime/snmp/snmp.h hidden)
zorv_layer_case(zorv_snmp runtime/snmp/snmp.h seen)
zorv_layer_case(zorv_snmp runtime/runtime.h seen)
zorv_layer_case(zorv_snmp mib/mib_value.h hidden)
zorv_layer_case(zorv_mib mib/mib.h seen)
zorv_layer_case(zorv_mib runtime/snmp/message.h seen)
zorv_layer_case(zorv_mib mib/compiler/mib_compiler.h hidden)
zorv_layer_case(zorv_mib mib/events/mib_events.h hidden)
zorv_layer_case(zorv_mibcompiler mib/compiler/mib_compiler.h seen)
zorv_layer_case(zorv_mibcompiler mib/events/mib_events.h hidden)
zorv_layer_case(zorv_mibevents mib/events/mib_events.h seen)
zorv_layer_case(zorv_mibevents appls/mibdb/mibdb.h hidden)
zorv_layer_case(zorv_mibevents appls/extmgr/ttycmds/list_helpers.h hidden)
