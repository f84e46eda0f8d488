// The image decoder behind LoadImageFile, compiled on its own without the project's warnings.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_FAILURE_USERMSG
#include <stb_image.h>
