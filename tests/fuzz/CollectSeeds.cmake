# Build-time step of quarvelin_fuzz: copies the fixture files of FOLDERS
# ("|"-separated) into SEEDS, beside what the seed writer put there, and
# writes LIST, the comma-separated seed files that libFuzzer's -seed_inputs
# takes. The empty input is always a seed.
file(WRITE ${SEEDS}/empty "")
if(FOLDERS)
  string(REPLACE "|" ";" folders "${FOLDERS}")
  foreach(folder ${folders})
    file(GLOB_RECURSE files RELATIVE ${folder} ${folder}/*)
    foreach(file ${files})
      string(REPLACE "/" "_" flat "${file}")
      file(COPY_FILE ${folder}/${file} ${SEEDS}/${flat})
    endforeach()
  endforeach()
endif()
file(GLOB seeds ${SEEDS}/*)
list(SORT seeds)
string(REPLACE ";" "," seeds "${seeds}")
file(WRITE ${LIST} "${seeds}")
