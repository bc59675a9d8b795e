# Every target of the project compiles with warnings as errors.
function(wf_warnings target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Werror>
        $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Werror>)
endfunction()
