pelagon_add_test(NAME test_legend LIBS pelagon_gui DISPLAY offscreen SOURCES
  legend/test_layer_list_form.cpp
  legend/test_legend_print.cpp
)
