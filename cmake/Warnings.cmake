# Warnings for our own targets only; third-party sources keep their own.
function(quarvelin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
