// The program's own 4 x 4 matrix arithmetic. Every model and view transform is composed here and
// only the finished matrix is handed to OpenGL.
//
// A matrix is 16 floats with element (row r, column c) at index r + 4 * c, the layout
// glMultMatrixf reads, so a matrix goes to OpenGL as it is. Every operation changes the matrix
// passed first, in place, and allocates nothing.
#pragma once

using Matrix4 = float[16];

// Read-only identity that every builder starts from.
extern const Matrix4 identityMatrix;

int matrixIndex(int row, int column);

void matrixLoadIdentity(float* m);

// m becomes other x m: the transform in `other` is applied after everything already in m, for a
// column vector multiplied on the right. Each of the four products is rounded to float and their
// sum is formed in double precision; m and other may be the same array.
void matrixMultiply(float* m, const float* other);

void matrixTranslate(float* m, float x, float y, float z);
void matrixScale(float* m, float x, float y, float z);

// Angles in radians. These are the transposes of the textbook rotations: a positive angle turns
// clockwise when looking from the positive end of the axis towards the origin.
void matrixRotateX(float* m, double angle);
void matrixRotateY(float* m, double angle);
void matrixRotateZ(float* m, double angle);

// Angles in degrees, converted to radians in double precision.
void matrixRotateXDegrees(float* m, float angle);
void matrixRotateYDegrees(float* m, float angle);
void matrixRotateZDegrees(float* m, float angle);
