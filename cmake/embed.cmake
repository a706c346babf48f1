# kestrin_embed(TARGET SYMBOL FILE)
# Links the bytes of FILE into TARGET as the read-only symbols SYMBOL and SYMBOL_end, followed by
# a NUL byte. Declare them in C++ as: extern "C" const char SYMBOL[], SYMBOL_end[];
function(kestrin_embed target symbol file)
  set(asm "${CMAKE_CURRENT_BINARY_DIR}/embed_${symbol}.S")
  file(WRITE "${asm}.in"
    ".section .rodata\n"
    ".global ${symbol}\n"
    ".type ${symbol}, @object\n"
    ".balign 16\n"
    "${symbol}:\n"
    ".incbin \"${file}\"\n"
    ".global ${symbol}_end\n"
    "${symbol}_end:\n"
    ".byte 0\n"
    ".section .note.GNU-stack,\"\",@progbits\n")
  configure_file("${asm}.in" "${asm}" COPYONLY)
  set_source_files_properties("${asm}" PROPERTIES OBJECT_DEPENDS "${file}")
  target_sources(${target} PRIVATE "${asm}")
endfunction()
