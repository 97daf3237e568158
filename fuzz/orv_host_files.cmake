# orv-host's reading of audio files (every format libsndfile knows, and the built-in WAV reader)
# and of state files.
orv_add_fuzzer(orv_host_files_fuzz orv_host_files_fuzz.cpp LIBS orv_host_files)
