# Qt 6 for the windows. Only code under a ui/ folder, the tools that paint shipped data and
# their tests use it; core libraries never link it. A Qt target is made with the ordinary
# add_library/add_executable and then handed to zb_use_qt, which turns on moc for that
# target alone and links the modules it names (Widgets when none are named).
find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets Test)

# zb_use_qt(TARGET [Widgets] [Test] ...)
function(zb_use_qt target)
  set(modules ${ARGN})
  if(NOT modules)
    set(modules Widgets)
  endif()
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  foreach(module IN LISTS modules)
    target_link_libraries(${target} PUBLIC Qt6::${module})
  endforeach()
  # Qt's own keywords stay out of the way of the standard library; signals and slots are
  # written Q_SIGNALS / Q_SLOTS / Q_EMIT.
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
endfunction()
