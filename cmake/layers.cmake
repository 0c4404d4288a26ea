# The layers of the game's code, lowest first. Each folder builds one
# library, which may include and link only the folders its row names, all
# of them rows above it: nothing includes upwards, so no two folders
# include each other. Where a lower layer must call up, the upper one
# hands it a hook (docs/layers.md). check_layers.cmake fails the build on
# any other include; the libraries are linked from the same rows.
#
# nwd_layer(folder library uses...): one row. Its uses must be rows already.
macro(nwd_layer folder library)
  foreach(_use ${ARGN})
    if(NOT _use IN_LIST NWD_LAYERS)
      message(FATAL_ERROR "layers.cmake: ${folder} uses ${_use}, which is no layer below it")
    endif()
  endforeach()
  list(APPEND NWD_LAYERS ${folder})
  set(NWD_LAYER_LIB_${folder} ${library})
  set(NWD_LAYER_USES_${folder} ${ARGN})
endmacro()

#         folder      library         may use
nwd_layer(fileio      nwd_fileio)
nwd_layer(engine      nwd_engine      fileio)
nwd_layer(datafile    nwd_datcheck    fileio)
nwd_layer(demo        nwd_demo        engine fileio)
nwd_layer(config      nwd_config      engine fileio)
nwd_layer(audio       nwd_audio       config engine fileio)
nwd_layer(gfx         nwd_gfx         datafile engine fileio)
nwd_layer(input       nwd_input       audio config engine)
nwd_layer(game        nwd_game        gfx input audio demo config datafile engine fileio)
nwd_layer(frontend    nwd_frontend    game gfx input audio demo config datafile engine fileio)
nwd_layer(shell       nwd_shell       frontend game gfx input audio demo config datafile engine fileio)
# The tools, checked but linked on their own: rows too, so that no two
# of them include each other either.
nwd_layer(tools/common   -            engine)
nwd_layer(tools/manifest -            fileio)
nwd_layer(tools/amcasm   -            engine fileio tools/common)
nwd_layer(tools/contract -            tools/common)
nwd_layer(tools/datpack  -            engine tools/common)
nwd_layer(tools/sfxgen   -            engine fileio tools/common)
nwd_layer(tools/modgen   -            audio engine fileio tools/common)
nwd_layer(tools/gfxgen   -            gfx engine fileio tools/common)
nwd_layer(tools/datview  -            gfx datafile engine fileio tools/common)
nwd_layer(tools/nwd-sim  -            demo datafile engine fileio)
nwd_layer(tools/nwd-bot  -            demo engine tools/common)
