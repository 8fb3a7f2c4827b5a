!!ARBfp1.0
# Test program: the colour is the database vector "tint" scaled by the
# database float "brightness".
#var float4 tint :  : c[0] : 1 : 1
#var float brightness :  : c[1] : 2 : 1
PARAM tint = program.local[0];
PARAM brightness = program.local[1];
MUL result.color, tint, brightness.x;
END
