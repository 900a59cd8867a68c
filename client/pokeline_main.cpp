// pokeline: a console client for typing viewer commands by hand.
#include <cstdio>

#include "client/pokeline_session.h"

int main(int argc, char** argv) {
  if (auto status = kestrel::answerOptions(argc, argv, stdout, stderr)) return *status;
  return kestrel::runPokeline(argc, argv, stdin, stdout, kestrel::pokelinePort());
}
